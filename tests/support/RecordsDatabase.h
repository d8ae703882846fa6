#pragma once
// A fixture with a database of the real record classes in its own temporary folder,
// closed and removed after each test.
#include <gtest/gtest.h>

#include <memory>

#include "database/KVRSchema.h"
#include "store/Store.h"
#include "support/TempDir.h"

struct RecordsDatabase : ::testing::Test {
  TempDir dir;
  std::shared_ptr<store::Database> db;

  void SetUp() override {
    store::Configuration c;
    c.path = dir.file("default.realm");
    c.schemaVersion = KVRSchema::kSchemaVersion;
    c.schema = KVRSchema::schema();
    db = store::Database::open(c).value();
  }
  void TearDown() override {
    db.reset();
    store::Database::deleteFiles(dir.file("default.realm"));
  }
};
