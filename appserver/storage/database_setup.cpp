#include "appserver/storage/database_setup.h"

namespace appserver {

void CheckTargetVersion(int target_version) {
  if (target_version < 1 || target_version > kSchemaVersion)
    throw StorageError("Versão de esquema desconhecida: " + std::to_string(target_version));
}

int UpgradeSchema(SchemaUpgradeTarget& target, std::span<const char* const> migrations,
                  int target_version) {
  CheckTargetVersion(target_version);
  const int previous = target.ReadVersion();
  if (previous > kSchemaVersion)
    throw StorageError("O banco de dados tem o esquema versão " + std::to_string(previous) +
                       ", mais novo que este servidor (" + std::to_string(kSchemaVersion) + ").");
  if (previous == 0) target.CreateVersionTable();
  for (int v = previous; v < target_version; ++v) target.Run(migrations[v]);
  if (target_version > previous) target.WriteVersion(target_version);
  return previous;
}

bool WantsDemo(DemoSeeding demo, bool created) {
  return demo == DemoSeeding::kRequested || (demo == DemoSeeding::kIfCreated && created);
}

bool StructureIsEmpty(Storage& storage) {
  for (Entity e : kAllEntities)
    if (e != Entity::kAccount && !storage.Select(e).empty()) return false;
  return true;
}

}  // namespace appserver
