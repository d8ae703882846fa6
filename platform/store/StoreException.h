#pragma once
// The object store's exception, raised inside the store for programming errors (a bad
// predicate, a write outside a transaction, an unknown class or property), failures of
// the data (a duplicate primary key, a missing required value) and failures of the file
// or the engine (an unreadable or damaged file, a schema that needs a migration). The
// last two reach callers as error values in the store's domain, with the kind as the
// code, wherever the store answers (opening, write(), reads outside a transaction).
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
  // A fault of the calling code rather than of the file or the data: write() passes it
  // on instead of answering it.
  bool isProgrammingError() const {
    switch (kind_) {
      case Kind::InvalidProperty:
      case Kind::InvalidPredicate:
      case Kind::NotInWriteTransaction:
      case Kind::AlreadyInWriteTransaction: return true;
      default: return false;
    }
  }
  // The same failure as an error value in StoreErrorDomain.
  ErrorRef toError() const { return makeError(StoreErrorDomain, static_cast<int64_t>(kind_), std::string(what())); }

 private:
  Kind kind_;
};

}  // namespace store
