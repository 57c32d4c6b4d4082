#include "appserver/serving/server_cli.h"

#include <signal.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <mutex>

#include "appserver/serving/embedded_server.h"
#include "appserver/serving/installed_place.h"
#include "appserver/storage/postgres/pg_connection.h"
#include "net/client_security.h"
#include "net/private_file.h"
#include "rtl/strings.h"

namespace appserver {
namespace {

std::mutex log_mutex;

void LogLine(std::string_view level, std::string_view text) {
  std::time_t now = std::time(nullptr);
  char stamp[32];
  std::tm tm{};
  gmtime_r(&now, &tm);
  std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &tm);
  // One line each, whatever a client put in a user name or a method.
  const std::string line = rtl::EscapeControls(text);
  std::lock_guard lock(log_mutex);
  std::cerr << stamp << ' ' << level << ' ' << line << std::endl;
}

// qmx-server conta ACTION [USER] [ROLE] (account_command.h).
void AddAccountCommand(CLI::App& app, ToolOptions& o) {
  auto* conta = app.add_subcommand(
      "conta",
      "Contas de acesso: adicionar USUARIO [--papel editor|leitor], listar, desativar USUARIO, "
      "ativar USUARIO, papel USUARIO editor|leitor, senha USUARIO (a senha é lida do terminal, "
      "sem eco, ou da entrada padrão)");
  auto add = [&](const char* name, const char* what, bool user, bool role) {
    auto* c = conta->add_subcommand(name, what);
    if (user) c->add_option("usuario", o.user, "Nome de usuário")->required();
    if (role) c->add_option("papel", o.role, "editor ou leitor")->required();
    c->callback([&o, name] {
      o.command = ToolCommand::kAccount;
      o.account_action = name;
    });
    return c;
  };
  add("adicionar", "Cria uma conta (papel leitor, salvo --papel)", true, false)
      ->add_option("--papel", o.role, "editor ou leitor (padrão leitor)");
  add("listar", "Lista as contas", false, false);
  add("desativar", "Impede a conta de entrar, sem apagá-la", true, false);
  add("ativar", "Permite de novo a entrada de uma conta desativada", true, false);
  add("papel", "Muda o papel da conta", true, true);
  add("senha", "Troca a senha da conta", true, false);
  conta->require_subcommand(1);
}

// The subcommands (tool_commands.h) and their options.
void AddToolCommands(CLI::App& app, ToolOptions& o) {
  app.fallthrough();  // --db and the other options of the server also after the subcommand
  auto* history = app.add_subcommand("history", "Mostra o histórico de alterações da estrutura");
  history->add_option("--table", o.table, "Só as alterações desta tabela e de seus itens");
  history->add_option("--since", o.since, "Só as alterações desde esta data (UTC)");
  history->add_option("--format", o.format, "text ou json")->check(CLI::IsMember({"text", "json"}));
  history->callback([&o] { o.command = ToolCommand::kHistory; });
  auto* check = app.add_subcommand(
      "check",
      "Confere a estrutura com o data warehouse (saída 0: sem problemas, 1: problemas, "
      "2: não foi possível conferir)");
  check->add_option("--format", o.format, "text ou json")->check(CLI::IsMember({"text", "json"}));
  check->callback([&o] { o.command = ToolCommand::kCheck; });
  auto* export_ = app.add_subcommand("export", "Exporta a estrutura para uma camada semântica");
  export_->add_option("--format", o.format, "metricflow ou cube")
      ->required()
      ->check(CLI::IsMember({"metricflow", "cube"}));
  export_->add_option("--out", o.out, "Arquivo de saída (padrão: a saída padrão)");
  export_->callback([&o] { o.command = ToolCommand::kExport; });
  auto* import = app.add_subcommand(
      "import",
      "Importa a estrutura de um arquivo da camada semântica: mostra as diferenças com a "
      "estrutura gravada e as aplica numa só transação (saída 0: importado, 1: recusado, "
      "nada gravado; 2: não foi possível importar)");
  import->add_option("--format", o.format, "metricflow ou cube")
      ->required()
      ->check(CLI::IsMember({"metricflow", "cube"}));
  import->add_option("arquivo", o.file, "O arquivo a importar")->required();
  import->add_flag("--dry-run", o.dry_run, "Só mostra as diferenças; nada é gravado");
  import->callback([&o] { o.command = ToolCommand::kImport;
});
AddAccountCommand(app, o);
app.require_subcommand(0, 1);
}  // namespace

}  // namespace appserver

std::optional<std::pair<std::string, uint16_t>> ParseListen(std::string_view text) {
  std::string_view host, port;
  if (text.starts_with("[")) {
    size_t close = text.find("]:");
    if (close == std::string_view::npos) return std::nullopt;
    host = text.substr(1, close - 1);
    port = text.substr(close + 2);
  } else {
    size_t colon = text.rfind(':');
    if (colon == std::string_view::npos) return std::nullopt;
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
    if (host.find(':') != std::string_view::npos) return std::nullopt;  // IPv6 needs brackets
  }
  if (host.empty() || port.empty() || port.size() > 5) return std::nullopt;
  unsigned value = 0;
  for (char c : port) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value > 65535) return std::nullopt;
  return std::make_pair(std::string(host), static_cast<uint16_t>(value));
}

std::string DefaultDatabasePath() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && *xdg == '/') return std::string(xdg) + "/qmx/qmx.db";
  const char* home = std::getenv("HOME");
  if (home && *home) return std::string(home) + "/.local/share/qmx/qmx.db";
  return {};
}

bool IsPostgresUrl(std::string_view database) {
  return IsPostgresConnection(database);
}

std::optional<int> ParseCommandLine(int argc, char** argv, ServerConfig& config) {
  CLI::App app{"qmx-server: servidor de aplicação do módulo QMX00600.rdmEstrutura"};
  std::string listen, level = "info";
  bool demo = false, no_demo = false;
  CLI::Option* config_file =
      app.set_config("--config", "", "Arquivo de configuração (chave = valor, como as opções)");
  app.add_option("--db", config.database,
                 "Banco SQLite (caminho) ou PostgreSQL (postgresql://... ou \"host=... "
                 "dbname=...\"; variáveis PG* completam); padrão: " +
                     (DefaultDatabasePath().empty() ? std::string("~/.local/share/qmx/qmx.db")
                                                    : DefaultDatabasePath()));
  app.add_option("--schema", config.schema,
                 "PostgreSQL: esquema da estrutura e do data warehouse (padrão public)");
  app.add_option("--listen", listen, "Endereço e porta, ADDR:PORTA (padrão 127.0.0.1:2160)");
  app.add_flag("--allow-remote", config.allow_remote,
               "Permite escutar em endereço que não seja de loopback; exige --tls-cert, "
               "--tls-key e --token-file");
  app.add_option("--tls-cert", config.tls_cert, "Certificado do servidor (PEM) para conexões TLS");
  app.add_option("--tls-key", config.tls_key, "Chave privada do certificado (PEM)");
  app.add_option("--token-file", config.token_file,
                 "Arquivo com a chave de acesso que os clientes enviam no handshake");
  auto* d = app.add_flag("--demo", demo, "Cria o data warehouse de demonstração num banco vazio");
  app.add_flag("--no-demo", no_demo, "Não cria o data warehouse de demonstração")->excludes(d);
  app.add_option("--write-wait", config.write_wait_s,
                 "Segundos que uma gravação espera por outra em andamento (padrão 30)")
      ->check(CLI::Range(1, 3600));
  app.add_option("--max-connections", config.max_connections,
                 "Conexões simultâneas aceitas; as seguintes são recusadas com um aviso "
                 "(padrão 64)")
      ->check(CLI::Range(1, 4096));
  app.add_option("--db-pool", config.database_pool,
                 "PostgreSQL: conexões com o banco que as sessões deste servidor compartilham; "
                 "cada chamada usa uma durante sua transação (padrão " +
                     std::to_string(kDefaultDatabasePool) + ")")
      ->check(CLI::Range(1, 1000));
  app.add_option("--max-memory", config.max_memory_mib,
                 "MiB que os pedidos em andamento podem ocupar juntos, somadas todas as "
                 "conexões; um pedido que não cabe é recusado (padrão 256)")
      ->check(CLI::Range(1, 1 << 20));
  app.add_option("--idle-timeout", config.idle_timeout_min,
                 "Minutos sem chamadas após os quais uma conexão é fechada; o cliente "
                 "reconecta na chamada seguinte; 0 nunca fecha (padrão 30)")
      ->check(CLI::Range(0, 7 * 24 * 60));
  app.add_option("--handshake-timeout", config.handshake_timeout_s,
                 "Segundos que uma conexão nova tem para se apresentar (TLS e handshake); "
                 "depois disso é fechada (padrão 5)")
      ->check(CLI::Range(1, 300));
  app.add_option("--name", config.name,
                 "Nome deste servidor no histórico de alterações (padrão: o endereço e a "
                 "porta em que escuta)");
  app.add_option("--log-level", level, "error, info ou debug")
      ->check(CLI::IsMember({"error", "info", "debug"}));
  AddToolCommands(app, config.tool);
  try {
    app.parse(argc, argv);
    // The installed program's subcommands read the service's settings when
    // told neither a database nor a settings file.
    if (config.tool.command != ToolCommand::kNone && config.database.empty() &&
        config_file->count() == 0) {
      if (auto settings = InstalledSettingsFile()) {
        std::vector<std::string> args{"--config", *settings};
        args.insert(args.end(), argv + 1, argv + argc);
        std::reverse(args.begin(), args.end());  // CLI11 takes them last first
        app.parse(args);
      }
    }
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  }
  if (demo) config.demo = DemoSeeding::kRequested;
  if (no_demo) config.demo = DemoSeeding::kNever;
  config.log_level = level == "error"   ? LogLevel::kError
                     : level == "debug" ? LogLevel::kDebug
                                        : LogLevel::kInfo;
  if (!listen.empty()) {
    auto parsed = ParseListen(listen);
    if (!parsed) {
      std::cerr << "--listen: endereço inválido \"" << listen << "\"; use ADDR:PORTA.\n";
      return 2;
    }
    config.address = parsed->first;
    config.port = parsed->second;
  }
  if (!config.allow_remote && !IsLoopbackAddress(config.address)) {
    std::cerr << "--listen: " << config.address
              << " não é um endereço de loopback; use --allow-remote para aceitar conexões "
                 "de outras máquinas.\n";
    return 2;
  }
  const bool any_security =
      !config.tls_cert.empty() || !config.tls_key.empty() || !config.token_file.empty();
  const bool all_security =
      !config.tls_cert.empty() && !config.tls_key.empty() && !config.token_file.empty();
  if ((config.allow_remote || any_security) && !all_security) {
    std::cerr << (config.allow_remote ? "--allow-remote" : "--tls-cert, --tls-key, --token-file")
              << ": conexões de outras máquinas só são aceitas com TLS e chave de acesso; "
                 "informe --tls-cert, --tls-key e --token-file juntos.\n";
    return 2;
  }
  if (config.schema.empty()) {
    std::cerr << "--schema: informe o nome do esquema.\n";
    return 2;
  }
  if (config.database.empty() && config.tool.command != ToolCommand::kNone &&
      RunsFromInstalledPlace())
    config.database = kInstalledDatabase;
  if (config.database.empty()) {
    config.database = DefaultDatabasePath();
    if (config.database.empty()) {
      std::cerr << "Sem HOME nem XDG_DATA_HOME: informe o banco com --db.\n";
      return 2;
    }
  }
  return std::nullopt;
}

int RunServer(const ServerConfig& config) {
  LogLevel level = config.log_level;
  EmbeddedServerOptions options;
  options.database_path = config.database;
  options.schema = config.schema;
  options.demo = config.demo;
  options.listen_address = config.address;
  options.allow_remote = config.allow_remote;
  options.port = config.port;
  options.write_wait_ms = config.write_wait_s * 1000;
  options.max_connections = config.max_connections;
  options.database_pool = config.database_pool;
  options.max_memory = size_t(config.max_memory_mib) << 20;
  options.idle_timeout_ms = config.idle_timeout_min * 60 * 1000;
  options.handshake_timeout_ms = config.handshake_timeout_s * 1000;
  options.server_name = config.name;
  if (!config.token_file.empty()) {
    try {
      net::RequirePrivateFile(config.token_file, "O arquivo da chave de acesso");
      options.security = net::ServerOptions::Security{config.tls_cert, config.tls_key,
                                                      net::ReadTokenFile(config.token_file)};
    } catch (const std::exception& e) {
      LogLine("ERRO", "O servidor não pôde iniciar: " + TextWithDetail(e));
      return 1;
    }
  }
  options.on_call = [level](const net::CallRecord& call) {
    if (!call.ok && level >= LogLevel::kInfo)
      LogLine("FALHA", std::string(call.method) + " (" + std::to_string(call.duration.count()) +
                           " us): " + std::string(call.failure));
    else if (call.ok && level >= LogLevel::kDebug)
      LogLine("CHAMADA",
              std::string(call.method) + " (" + std::to_string(call.duration.count()) + " us)");
  };
  options.on_event = [level](std::string_view event) {
    if (level >= LogLevel::kInfo) LogLine("CONEXAO", event);
  };
  options.on_database_failure = [](std::string_view line) { LogLine("BANCO", line); };
  std::unique_ptr<EmbeddedServer> server;
  try {
    server = std::make_unique<EmbeddedServer>(std::move(options));
  } catch (const std::exception& e) {
    LogLine("ERRO", "O servidor não pôde iniciar: " + TextWithDetail(e));
    return 1;
  }
  if (level >= LogLevel::kInfo) {
    const PrepareResult& p = server->Prepared();
    LogLine("INFO", "Banco " + DescribeDatabase({config.database, config.schema}) +
                        (p.created ? " (criado)" : "") +
                        (p.demo_seeded ? ", demonstração criada" : "") + "; escutando em " +
                        config.address + ":" + std::to_string(server->Port()) +
                        (config.token_file.empty() ? "" : " (TLS, com chave de acesso)"));
  }
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  int received = 0;
  sigwait(&signals, &received);
  if (level >= LogLevel::kInfo)
    LogLine("INFO", std::string("Sinal ") + (received == SIGINT ? "SIGINT" : "SIGTERM") +
                        " recebido; encerrando após as chamadas em andamento.");
  server->Stop();
  server.reset();
  if (level >= LogLevel::kInfo) LogLine("INFO", "Servidor encerrado.");
  return 0;
}

}  // namespace appserver
