#pragma once

#include <sqlite3.h>

// Owns one prepared statement and finalizes it on every way out of the operation that made it.
class QVSqliteStatement {
 public:
  QVSqliteStatement() = default;
  ~QVSqliteStatement() { reset(); }

  QVSqliteStatement(const QVSqliteStatement&) = delete;
  QVSqliteStatement& operator=(const QVSqliteStatement&) = delete;
  QVSqliteStatement(QVSqliteStatement&& other) noexcept : statement_(other.statement_) {
    other.statement_ = nullptr;
  }
  QVSqliteStatement& operator=(QVSqliteStatement&& other) noexcept {
    if (this != &other) {
      reset();
      statement_ = other.statement_;
      other.statement_ = nullptr;
    }
    return *this;
  }

  sqlite3_stmt* get() const { return statement_; }
  // For sqlite3_prepare_v2's out-parameter; finalizes what was held first.
  sqlite3_stmt** receive() {
    reset();
    return &statement_;
  }
  explicit operator bool() const { return statement_ != nullptr; }

  void reset() {
    if (statement_) sqlite3_finalize(statement_);
    statement_ = nullptr;
  }

 private:
  sqlite3_stmt* statement_ = nullptr;
};
