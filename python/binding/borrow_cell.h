// BorrowCell<T>: a value that Python code shares by reference, guarded by the
// borrow rule: any number of readers at once, or one writer alone.
//
//   BorrowCell<Episode> cell{episode};
//   Result<BorrowCell<Episode>::Reader> r = cell.read();   // Runtime error
//       "Already mutably borrowed" while a writer holds it
//   Result<BorrowCell<Episode>::Writer> w = cell.write();  // Runtime error
//       "Already borrowed" while anyone holds it
//
// A borrow lasts as long as its handle. The cell is used only with the
// interpreter lock held, so the count is a plain integer: the rule does not
// serialise threads (the interpreter lock does), it refuses re-entrant use,
// such as an argument conversion that calls back into Python code which
// touches the same object while a method is changing it.
//
// A copy of a cell is a new cell with a copy of the value and no borrows.
#pragma once

#include <utility>

#include "base/status.h"

namespace vesk::py {

template <class T>
class BorrowCell {
 public:
  explicit BorrowCell(T value) : value_(std::move(value)) {}
  BorrowCell(const BorrowCell& other) : value_(other.value_) {}
  BorrowCell& operator=(const BorrowCell&) = delete;

  class Reader {
   public:
    explicit Reader(const BorrowCell& cell) : cell_(&cell) { ++cell.borrows_; }
    Reader(Reader&& o) noexcept : cell_(std::exchange(o.cell_, nullptr)) {}
    Reader& operator=(Reader&&) = delete;
    ~Reader() {
      if (cell_) --cell_->borrows_;
    }
    const T& operator*() const { return cell_->value_; }
    const T* operator->() const { return &cell_->value_; }

   private:
    const BorrowCell* cell_;
  };

  class Writer {
   public:
    explicit Writer(BorrowCell& cell) : cell_(&cell) { cell.borrows_ = kWriting; }
    Writer(Writer&& o) noexcept : cell_(std::exchange(o.cell_, nullptr)) {}
    Writer& operator=(Writer&&) = delete;
    ~Writer() {
      if (cell_) cell_->borrows_ = 0;
    }
    T& operator*() const { return cell_->value_; }
    T* operator->() const { return &cell_->value_; }

   private:
    BorrowCell* cell_;
  };

  Result<Reader> read() const {
    if (borrows_ == kWriting) return Status::Error(ErrorKind::Runtime, "Already mutably borrowed");
    return Reader(*this);
  }
  Result<Writer> write() {
    if (borrows_ != 0) return Status::Error(ErrorKind::Runtime, "Already borrowed");
    return Writer(*this);
  }

 private:
  static constexpr int kWriting = -1;

  T value_;
  mutable int borrows_ = 0;  // readers, or kWriting
};

}  // namespace vesk::py
