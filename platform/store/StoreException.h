#pragma once
// The object store's exception, raised for programming errors (a bad predicate, a
// write outside a transaction, a duplicate primary key, an unknown class or property).
// Failures of the file or the engine (an unreadable or damaged file, a schema that
// needs a migration) are raised inside the store as the same type and reach callers
// as error values in the store's domain where the store answers them (opening, and
// reads outside a write transaction), with the kind as the code.
#include <stdexcept>
#include <string>

#include "foundation/Error.h"

namespace store {

inline constexpr const char* StoreErrorDomain = "StoreErrorDomain";

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
  // A failure of the file or the engine rather than of the calling code.
  bool isFileFailure() const {
    switch (kind_) {
      case Kind::Fail:
      case Kind::FileAccess:
      case Kind::InvalidDatabase:
      case Kind::SchemaMismatch:
      case Kind::SchemaVersionTooNew: return true;
      default: return false;
    }
  }
  // The same failure as an error value in StoreErrorDomain.
  ErrorRef toError() const { return makeError(StoreErrorDomain, static_cast<int64_t>(kind_), std::string(what())); }

 private:
  Kind kind_;
};

}  // namespace store
