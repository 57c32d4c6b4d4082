// Options of an embedded server on the run's test database (either backend).
#pragma once

#include "appserver/serving/embedded_server.h"
#include "test_database.h"

namespace appserver::testing {

inline EmbeddedServerOptions ServerOptionsOn(const qmxtest::TestDatabase& db) {
  EmbeddedServerOptions o;
  o.database_path = db.target().location;
  o.schema = db.target().schema;
  return o;
}

}  // namespace appserver::testing
