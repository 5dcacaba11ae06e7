#pragma once
// A growable list of pointers on a HeapBuf, optionally owning its items.
#include <cstring>

#include "framework/HeapBuf.h"

template <class T>
class PtrList {
public:
  PtrList() : hb_(128) {}
  ~PtrList() = default;
  PtrList(const PtrList&) = delete;
  PtrList& operator=(const PtrList&) = delete;

  T** GetList() const { return static_cast<T**>(hb_.Get()); }
  int GetSize() const { return hb_.GetSize() / static_cast<int>(sizeof(T*)); }
  T* Get(int index) const {
    T** list = GetList();
    return (list != nullptr && index >= 0 && index < GetSize()) ? list[index] : nullptr;
  }
  T* GetLast() const { return Get(GetSize() - 1); }

  // Appends; returns the item, or null when the list could not grow.
  T* Add(T* item) {
    const int count = GetSize();
    T** list = static_cast<T**>(hb_.Resize((count + 1) * static_cast<int>(sizeof(T*)), false));
    if (GetSize() != count + 1) return nullptr;
    list[count] = item;
    return item;
  }

  // Inserts at index (clamped to 0..size); returns the item, or null when the list could not grow.
  T* Insert(int index, T* item) {
    const int count = GetSize();
    if (index < 0) index = 0;
    if (index > count) index = count;
    T** list = static_cast<T**>(hb_.Resize((count + 1) * static_cast<int>(sizeof(T*)), false));
    if (GetSize() != count + 1) return nullptr;
    std::memmove(list + index + 1, list + index, static_cast<size_t>(count - index) * sizeof(T*));
    list[index] = item;
    return item;
  }

  int Find(const T* item) const {
    T** list = GetList();
    for (int i = 0, n = GetSize(); i < n; ++i)
      if (list[i] == item) return i;
    return -1;
  }

  // Removes the entry at index (the entry leaves the list before the item is deleted).
  void Delete(int index, bool wantDelete = false, void (*deleteFunc)(void*) = nullptr) {
    const int count = GetSize();
    if (index < 0 || index >= count) return;
    T** list = GetList();
    T* item = list[index];
    std::memmove(list + index, list + index + 1, static_cast<size_t>(count - index - 1) * sizeof(T*));
    hb_.Resize((count - 1) * static_cast<int>(sizeof(T*)), false);
    if (wantDelete && item != nullptr) destroy(item, deleteFunc);
  }

  bool DeletePtr(const T* item, bool wantDelete = false, void (*deleteFunc)(void*) = nullptr) {
    const int index = Find(item);
    if (index < 0) return false;
    Delete(index, wantDelete, deleteFunc);
    return true;
  }

  // Removes every entry. With wantDelete the items go from last to first, each leaving
  // the list before it is deleted, so no item's destructor finds itself in the list.
  void Empty(bool wantDelete = false, void (*deleteFunc)(void*) = nullptr) {
    if (wantDelete) {
      for (int count = GetSize(); count > 0; count = GetSize()) {
        T* item = GetList()[count - 1];
        hb_.Resize((count - 1) * static_cast<int>(sizeof(T*)), false);
        if (item != nullptr) destroy(item, deleteFunc);
      }
    }
    hb_.Resize(0, false);
  }

private:
  static void destroy(T* item, void (*deleteFunc)(void*)) {
    if (deleteFunc != nullptr)
      deleteFunc(item);
    else
      delete item;
  }

  HeapBuf hb_;
};
