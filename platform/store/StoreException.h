#pragma once
// The object store's own exception. Programming errors (a bad predicate, a write
// outside a transaction, a duplicate primary key) and engine failures (an unreadable
// or corrupt file, a schema that needs a migration) are all raised as this type, so a
// caller that must survive a broken database catches exactly this.
#include <stdexcept>
#include <string>

namespace store {

class StoreException : public std::runtime_error {
 public:
  enum class Kind {
    Fail,                 // an engine failure without a more specific kind
    FileAccess,           // the file or its folder cannot be opened or created
    InvalidDatabase,      // the file is not a database or is damaged
    SchemaMismatch,       // the file's schema differs and no migration was asked for
    SchemaVersionTooNew,  // the file was written by a newer schema version
    PrimaryKeyExists,     // add() of an object whose primary key is taken
    InvalidValue,         // a null in a required property, a value of the wrong type
    InvalidProperty,      // a property name the class does not have
    InvalidPredicate,     // a predicate text that cannot be parsed
    NotInWriteTransaction,
    AlreadyInWriteTransaction,
    ObjectNotFound,       // a managed object that no longer exists
  };

  StoreException(Kind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}
  Kind kind() const { return kind_; }

 private:
  Kind kind_;
};

}  // namespace store
