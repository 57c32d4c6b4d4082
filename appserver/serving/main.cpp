// qmx-server: the application server hosting QMX00600.rdmEstrutura.
#include <signal.h>

#include <iostream>

#include "appserver/serving/server_cli.h"
#include "appserver/tools/account_command.h"

int main(int argc, char** argv) {
  // Blocked before any thread starts, so only RunServer's sigwait sees them;
  // reset first, as a shell starts background jobs with SIGINT ignored.
  signal(SIGINT, SIG_DFL);
  signal(SIGTERM, SIG_DFL);
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  appserver::ServerConfig config;
  if (auto done = appserver::ParseCommandLine(argc, argv, config)) return *done;
  if (config.tool.command == appserver::ToolCommand::kAccount)
    return appserver::RunAccountCommand(config.tool, {config.database, config.schema}, std::cin,
                                        std::cout, std::cerr);
  if (config.tool.command != appserver::ToolCommand::kNone)
    return appserver::RunTool(config.tool, {config.database, config.schema}, std::cout, std::cerr);
  return appserver::RunServer(config);
}
