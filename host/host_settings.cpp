#include "host_settings.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSettings>
#include <QStandardPaths>
#include <cstdio>
#include <string_view>

#include "net/client_security.h"
#include "rtl/exceptions.h"

namespace host {

ParseOutcome ParseHostCommandLine(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Aplicação hospedeira das telas do sistema (Qt)."));
  parser.addHelpOption();
  parser.addVersionOption();
  const QCommandLineOption server(
      QStringLiteral("server"),
      QStringLiteral("Servidor de aplicação HOST:PORTA (padrão: variável QMX_SERVER, "
                     "senão 127.0.0.1:2160)."),
      QStringLiteral("HOST:PORTA"));
  const QCommandLineOption package_dir(
      QStringLiteral("package-dir"),
      QStringLiteral("Pasta onde procurar os pacotes das telas (PKG_*.so)."),
      QStringLiteral("PASTA"));
  const QCommandLineOption open(QStringLiteral("open"),
                                QStringLiteral("Abre a tela indicada ao iniciar (ex.: QMX00600)."),
                                QStringLiteral("TELA"));
  parser.addOptions({server, package_dir, open});

  ParseOutcome out;
  if (!parser.parse(arguments)) {
    const QStringList unknown = parser.unknownOptionNames();
    QString why = QStringLiteral("falta o valor de uma opção");
    if (!unknown.isEmpty())
      why = QStringLiteral("opção desconhecida: %1").arg(unknown.join(QStringLiteral(", ")));
    else if (!arguments.isEmpty() && arguments.last().startsWith(QLatin1Char('-')))
      why = QStringLiteral("falta o valor de %1").arg(arguments.last());
    std::fprintf(stderr, "qmx-host: %s\nUse --help para ver as opções.\n", qPrintable(why));
    out.exit_code = 2;
    return out;
  }
  if (parser.isSet(QStringLiteral("help"))) {
    std::printf(
        "Uso: qmx-host [opções]\n"
        "Aplicação hospedeira das telas do sistema.\n\n"
        "  --server HOST:PORTA   servidor de aplicação (padrão: variável QMX_SERVER,\n"
        "                        senão 127.0.0.1:2160)\n"
        "  --package-dir PASTA   pasta onde procurar os pacotes das telas (PKG_*.so)\n"
        "  --open TELA           abre a tela ao iniciar (ex.: QMX00600); pode repetir\n"
        "  -h, --help            mostra esta ajuda\n"
        "  -v, --version         mostra a versão\n"
        "Opções do Qt, como -platform, também são aceitas.\n"
        "Servidor fora desta máquina (TLS com chave de acesso): QMX_TLS_CA (certificado\n"
        "da autoridade) e QMX_TOKEN_FILE (arquivo da chave), ou tls-ca= e token-file=\n"
        "em ~/.config/qmx/qmx.conf.\n"
        "Servidor com contas: ao abrir uma tela, pede usuário e senha; o usuário é\n"
        "lembrado para a próxima vez, a senha nunca é gravada.\n");
    out.exit_code = 0;
    return out;
  }
  if (parser.isSet(QStringLiteral("version"))) {
    std::printf("qmx-host %s\n", qPrintable(QCoreApplication::applicationVersion()));
    out.exit_code = 0;
    return out;
  }
  if (!parser.positionalArguments().isEmpty()) {
    std::fprintf(stderr, "qmx-host: argumento não reconhecido: %s\n",
                 qPrintable(parser.positionalArguments().join(QLatin1Char(' '))));
    out.exit_code = 2;
    return out;
  }
  if (parser.isSet(server)) {
    try {
      out.settings.server = orb::ParseServerAddress(parser.value(server).toStdString());
    } catch (const rtl::Exception& e) {
      std::fprintf(stderr, "qmx-host: --server: %s\n", e.Message().c_str());
      out.exit_code = 2;
      return out;
    }
  }
  out.settings.package_dir = parser.value(package_dir).toStdString();
  for (const QString& code : parser.values(open))
    out.settings.open_screens.push_back(code.trimmed().toUpper().toStdString());
  return out;
}

bool AsksForHelpOrVersion(int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "-h" || arg == "--help" || arg == "-?" || arg == "--help-all" || arg == "-v" ||
        arg == "--version")
      return true;
  }
  return false;
}

void ApplyHostSettings(const HostSettings& settings) {
  if (settings.server)
    orb::SetServerAddress(*settings.server);
  else
    orb::ClearServerAddress();
  // The access token and the CA for a server beyond this machine; a token
  // file that cannot be read is said now, and connections go without it.
  try {
    net::SetDefaultClientSecurity(net::LoadClientSecurity());
  } catch (const rtl::Exception& e) {
    std::fprintf(stderr, "qmx-host: %s\n", e.Message().c_str());
  }
}

namespace {

QSettings UserPreferences() {
  return QSettings(
      QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + "/layout.ini",
      QSettings::IniFormat);
}

QString SplitKey(const QString& key) {
  return QStringLiteral("splitters/") + key;
}

}  // namespace

double SavedSplitShare(const QString& key) {
  bool ok = false;
  const double share = UserPreferences().value(SplitKey(key)).toDouble(&ok);
  return ok && share > 0 && share < 1 ? share : -1;
}

void SaveSplitShare(const QString& key, double share) {
  if (share <= 0 || share >= 1) return;
  QSettings settings = UserPreferences();
  settings.setValue(SplitKey(key), share);
}

QString SavedLoginUser() {
  return UserPreferences().value(QStringLiteral("login/usuario")).toString();
}

void SaveLoginUser(const QString& user_name) {
  QSettings settings = UserPreferences();
  settings.setValue(QStringLiteral("login/usuario"), user_name);
}

}  // namespace host
