#include <cstring>

#include "settings/items/data.h"
#include "settings/items/table.h"

namespace {

// Both const and non-const tables go through one search; Row is ItemTableRow, const or not.
template <class Row>
Row* FindItem(Row* rows, int count, WORD id) {
  if (!rows || count <= 0 || id == kItemNone) return nullptr;
  // Dense identifiers sit at id-1, but only where the row says so: with 1239 rows, 963..1239
  // would otherwise land on the configuration rows.
  if (id <= count && rows[id - 1].id == id) return &rows[id - 1];
  if (rows[0].id == id) return &rows[0];
  if (rows[count - 1].id == id) return &rows[count - 1];
  // Rows are in identifier order (the generator checks it, a context copies them as they are),
  // so a miss here is a miss: no scan follows.
  int lo = 0;
  int hi = count - 1;
  while (lo + 1 < hi) {
    const int mid = (lo + hi) / 2;
    if (rows[mid].id == id) return &rows[mid];
    if (rows[mid].id < id) lo = mid;
    else hi = mid;
  }
  return nullptr;
}

template <class Row>
Row* FindItemByKey(Row* rows, int count, SHORT key) {
  if (!rows || count <= 0 || key == 0) return nullptr;
  for (int i = 0; i < count; ++i) {
    if (rows[i].key == key) return &rows[i];
  }
  const ItemSymbolRow* symbol = OptFindSymbolByKey(key);
  if (!symbol || symbol->itemId <= 0) return nullptr;
  return FindItem(rows, count, static_cast<WORD>(symbol->itemId));
}

template <class Page>
Page* FindPage(Page* rows, int count, WORD pageId) {
  if (!rows) return nullptr;
  for (int i = 0; i < count; ++i) {
    if (rows[i].id == pageId) return &rows[i];
  }
  return nullptr;
}

template <class Page>
auto GetPageItem(Page* page, DWORD n) -> decltype(page->items) {
  if (!page || !page->items || n >= page->itemCount) return nullptr;
  return &page->items[n];
}

template <class Page>
auto FindControl(Page* page, WORD controlId) -> decltype(page->items) {
  if (!page || !page->items) return nullptr;
  for (DWORD i = 0; i < page->itemCount; ++i) {
    if (page->items[i].controlId == controlId) return &page->items[i];
  }
  return nullptr;
}

bool SameName(const char* a, const char* b) { return a && b && std::strcmp(a, b) == 0; }

}  // namespace

const ItemTableRow* OptFindItem(const ItemTable* table, WORD id) {
  return table ? FindItem<const ItemTableRow>(table->rows, table->count, id) : nullptr;
}

ItemTableRow* OptFindItem(ItemTable* table, WORD id) {
  return table ? FindItem(table->rows, table->count, id) : nullptr;
}

const ItemTableRow* OptFindItemByKey(const ItemTable* table, SHORT key) {
  return table ? FindItemByKey<const ItemTableRow>(table->rows, table->count, key) : nullptr;
}

ItemTableRow* OptFindItemByKey(ItemTable* table, SHORT key) {
  return table ? FindItemByKey(table->rows, table->count, key) : nullptr;
}

const WCHAR* OptGetItemName(const ItemTable* table, WORD id) {
  const ItemTableRow* row = OptFindItem(table, id);
  return row ? row->name : nullptr;
}

const ItemSymbolRow* OptFindSymbolByKey(SHORT key) {
  if (key == 0) return nullptr;
  for (int i = 0; i < kItemSymbolCount; ++i) {
    if (kItemSymbols[i].key == key) return &kItemSymbols[i];
  }
  return nullptr;
}

const ItemSymbolRow* OptFindSymbolByName(const char* name) {
  for (int i = 0; name && i < kItemSymbolCount; ++i) {
    if (SameName(kItemSymbols[i].name, name)) return &kItemSymbols[i];
  }
  return nullptr;
}

const ValueSymbolRow* OptFindValueSymbol(WORD itemId, DWORD value) {
  if (itemId == kItemNone) return nullptr;
  for (int i = 0; i < kValueSymbolCount; ++i) {
    const ValueSymbolRow& row = kValueSymbols[i];
    if (row.itemId == static_cast<SHORT>(itemId) && row.value == value) return &row;
  }
  return nullptr;
}

const ValueSymbolRow* OptFindValueSymbolByModel(WORD itemId, DWORD modelValue) {
  if (itemId == kItemNone) return nullptr;
  for (int i = 0; i < kValueSymbolCount; ++i) {
    const ValueSymbolRow& row = kValueSymbols[i];
    if (row.itemId == static_cast<SHORT>(itemId) && row.modelValue == modelValue) return &row;
  }
  return nullptr;
}

const ValueSymbolRow* OptFindValueSymbolByName(const char* name) {
  for (int i = 0; name && i < kValueSymbolCount; ++i) {
    if (SameName(kValueSymbols[i].name, name)) return &kValueSymbols[i];
  }
  return nullptr;
}

const PageTemplate* OptFindPage(const PageTable* pages, WORD pageId) {
  return pages ? FindPage<const PageTemplate>(pages->rows, pages->count, pageId) : nullptr;
}

PageTemplate* OptFindPage(PageTable* pages, WORD pageId) {
  return pages ? FindPage(pages->rows, pages->count, pageId) : nullptr;
}

const PageTemplate* OptFindPageByName(const PageTable* pages, const char* name) {
  if (!pages) pages = OptGetStaticPageTable();
  for (int i = 0; name && i < pages->count; ++i) {
    if (SameName(pages->rows[i].name, name)) return &pages->rows[i];
  }
  return nullptr;
}

const PageItemTemplate* OptGetPageItem(const PageTemplate* page, DWORD n) { return GetPageItem(page, n); }

PageItemTemplate* OptGetPageItem(PageTemplate* page, DWORD n) { return GetPageItem(page, n); }

const PageItemTemplate* OptFindPageItem(const PageTable* pages, const PageTemplate* page, WORD controlId) {
  if (page) return FindControl(page, controlId);
  if (!pages) pages = OptGetStaticPageTable();
  for (int i = 0; i < pages->count; ++i) {
    if (const PageItemTemplate* row = FindControl(static_cast<const PageTemplate*>(&pages->rows[i]), controlId)) {
      return row;
    }
  }
  return nullptr;
}

PageItemTemplate* OptFindPageItem(PageTable* pages, PageTemplate* page, WORD controlId) {
  if (page) return FindControl(page, controlId);
  if (!pages) return nullptr;
  for (int i = 0; i < pages->count; ++i) {
    if (PageItemTemplate* row = FindControl(&pages->rows[i], controlId)) return row;
  }
  return nullptr;
}

int OptGetMessageCount() { return kMessageRowCount; }

const MessageRow* OptGetMessageRow(int n) {
  return n >= 0 && n < kMessageRowCount ? &kMessageRows[n] : nullptr;
}

const MessageRow* OptFindMessageByName(const char* name) {
  for (int i = 0; name && i < kMessageRowCount; ++i) {
    if (SameName(kMessageRows[i].name, name)) return &kMessageRows[i];
  }
  return nullptr;
}
