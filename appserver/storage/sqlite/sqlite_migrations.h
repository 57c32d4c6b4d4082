// The SQLite schema migrations of the structure tables, each taking the
// structure one version up (storage/database_setup.h runs them).
#pragma once

#include <span>

namespace appserver {

std::span<const char* const> SqliteMigrations();

}  // namespace appserver
