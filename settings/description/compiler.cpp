#include "settings/description/compiler.h"

#include <cstring>
#include <map>
#include <new>

#include "settings/context/global_allocator.h"
#include "settings/context/memory.h"

namespace {

// The parser keeps this many issues in detail; the count goes on.
constexpr size_t kMaxIssueDetails = 256;

struct TooLarge {};

template <class Key, class Value>
using DescMap = std::map<Key, Value, std::less<>, GlobalAllocator<std::pair<const Key, Value>>>;

// The block under construction. Elements are reserved zeroed on 4-byte boundaries; texts are
// collected with the field that links to them and laid out last.
class ImageBuilder {
 public:
  DWORD Reserve(size_t bytes) {
    const size_t offset = (bytes_.size() + 3) & ~size_t(3);
    if (offset + bytes > kDescMaxImageBytes) throw TooLarge{};
    bytes_.resize(offset + bytes, 0);
    return static_cast<DWORD>(offset);
  }
  void U16(DWORD at, WORD v) { DescStoreU16(&bytes_[at], v); }
  void U32(DWORD at, DWORD v) { DescStoreU32(&bytes_[at], v); }
  void U64(DWORD at, ULONGLONG v) { DescStoreU64(&bytes_[at], v); }
  void Link(DWORD at, DWORD offset) { U32(at, DescLinkTo(offset)); }

  enum TextKind { kBytes, kWide, kLiteral };
  void TextLink(DWORD at, const DescString& text) { texts_.push_back({at, kBytes, &text, nullptr}); }
  void WideTextLink(DWORD at, const DescWideString& text) { texts_.push_back({at, kWide, nullptr, &text}); }
  // A command string as a literal: {length with the NUL, bytes, NUL}.
  void LiteralLink(DWORD at, const DescString& text) { texts_.push_back({at, kLiteral, &text, nullptr}); }

  void EmitTexts() {
    for (const PendingText& text : texts_) {
      DWORD offset = 0;
      switch (text.kind) {
        case kBytes:
          offset = Reserve(text.bytes->size() + 1);
          std::memcpy(&bytes_[offset], text.bytes->data(), text.bytes->size());
          break;
        case kWide:
          offset = Reserve((text.wide->size() + 1) * 2);
          for (size_t i = 0; i < text.wide->size(); ++i) U16(DWORD(offset + 2 * i), (*text.wide)[i]);
          break;
        case kLiteral:
          if (text.bytes->size() + 1 > 0xFFFFFFFFu - 4) throw TooLarge{};
          offset = Reserve(4 + text.bytes->size() + 1);
          U32(offset, DWORD(text.bytes->size() + 1));
          std::memcpy(&bytes_[offset + 4], text.bytes->data(), text.bytes->size());
          break;
      }
      Link(text.at, offset);
    }
    texts_.clear();
    Reserve(0);  // the block ends on a 4-byte boundary
  }

  DescVector<BYTE>& bytes() { return bytes_; }

 private:
  struct PendingText {
    DWORD at;
    TextKind kind;
    const DescString* bytes;
    const DescWideString* wide;
  };
  DescVector<BYTE> bytes_;
  DescVector<PendingText> texts_;
};

WORD BlockKindOf(const DescUiRecord& record) {
  const DescValueData* values = record.values;
  if (!values) return kDescBlockNone;
  const WORD kind = DescUiKind(record.type);
  if (DescIsListType(record.type)) {
    switch (kind) {
      case kUiPickPage: return kDescBlockPageList;
      case kUiPickSlot: return kDescBlockSlotList;
      case kUiFontTbl: return kDescBlockFontList;
      default: return kDescBlockList;
    }
  }
  // The block the type asks for first; then whatever block the lines gave.
  if ((kind & kUiNumeric) && values->hasRange) return kDescBlockRange;
  if ((kind & kUiString) && values->hasString) return kDescBlockString;
  if (values->hasBoolean) return kDescBlockBoolean;
  if (values->hasRange) return kDescBlockRange;
  if (values->hasString) return kDescBlockString;
  return kDescBlockNone;
}

class DescCompiler {
 public:
  DescCompiler(DescParseResult* result, const DescSourceStamp& source) : r_(*result), source_(source) {}

  ModelDescription* Run() {
    b_.Reserve(kDescFirstPartOffset);
    Programs();
    ItemSets();
    ActionSets();
    TransactSets();
    AlertActionSets();
    AlertSets();
    Conditions();
    Records();
    ValueData();
    Templates();
    Fonts();
    if (r_.hasUiResDllName) b_.WideTextLink(kDescOffUiResDllName, r_.uiResDllName);
    if (r_.hasExcDepDllName) b_.WideTextLink(kDescOffExcDepDllName, r_.excDepDllName);
    b_.EmitTexts();
    return Finish();
  }

 private:
  // ---- References ------------------------------------------------------------------------

  void Remark(DescIssue issue, bool dropped, const char* keyword) {
    ++r_.issueCount;
    if (dropped) ++r_.droppedCount;
    if (r_.issues.size() >= kMaxIssueDetails) return;
    DescParseIssue entry;
    entry.line = 0;  // found while compiling, after the lines are gone
    entry.dropped = dropped;
    entry.issue = issue;
    entry.keyword = keyword;
    r_.issues.push_back(std::move(entry));
  }

  // The element a reference names: 0 for none, the offset (0 for an empty set) when it names a
  // statement, else `missing` after a remark.
  DWORD Resolve(const DescMap<LONG, DWORD>& index, LONG number, const char* keyword) {
    if (number == 0) return 0;
    const auto found = index.find(number);
    if (found != index.end()) return found->second;
    Remark(DescIssue::kUnresolvedReference, false, keyword);
    return 0;
  }
  bool JudgeExists(LONG number) const { return number == 0 || judges_.count(number) != 0; }

  // ---- Statement lists -----------------------------------------------------------------------

  void Programs() {
    for (const DescJudge& judge : r_.judges) {
      const DWORD at = b_.Reserve(judge.cells.size() * 4);
      for (size_t i = 0; i < judge.cells.size(); ++i) {
        b_.U16(DWORD(at + 4 * i), judge.cells[i].kind);
        b_.U16(DWORD(at + 4 * i + 2), judge.cells[i].value);
      }
      judges_.emplace(judge.number, at);
    }
  }

  // Lays out the entries of every set of a list consecutively, each linked to the next, and
  // indexes the sets by number. `write` fills one entry at its offset.
  template <class Entry, class Write>
  void Sets(const DescVector<DescSet<Entry>>& sets, DWORD entryBytes, DescMap<LONG, DWORD>* index, Write write) {
    for (const DescSet<Entry>& set : sets) {
      const size_t count = set.entries.size();
      const DWORD base = count ? b_.Reserve(count * entryBytes) : 0;
      for (size_t i = 0; i < count; ++i) {
        const DWORD at = DWORD(base + i * entryBytes);
        if (i + 1 < count) b_.Link(at, at + entryBytes);
        write(at, set.entries[i]);
      }
      index->emplace(set.number, base);
    }
  }

  void ItemSets() {
    Sets(r_.itemSets, kDescItemValueBytes, &itemSets_, [this](DWORD at, const DescItemEntry& e) {
      b_.U16(at + 4, e.value);
      b_.Link(at + 8, Resolve(judges_, e.disabledJudge, "Item"));
      b_.Link(at + 12, Resolve(judges_, e.hiddenJudge, "Item"));
    });
  }

  void ActionSets() {
    Sets(r_.actionSets, kDescActionBytes, &actionSets_, [this](DWORD at, const DescActionEntry& e) {
      b_.U16(at + 4, e.target);
      b_.U16(at + 6, e.targetKind);
      b_.U32(at + 8, DWORD(e.value));
    });
  }

  void TransactSets() {
    // A rule whose Judge names nothing would fire on every run: it goes, with a remark.
    for (DescSet<DescTransactEntry>& set : r_.transactSets) {
      std::erase_if(set.entries, [this](const DescTransactEntry& e) {
        if (JudgeExists(e.judge)) return false;
        Remark(DescIssue::kUnresolvedReference, false, "Transact");
        return true;
      });
    }
    Sets(r_.transactSets, kDescRuleBytes, &transactSets_, [this](DWORD at, const DescTransactEntry& e) {
      b_.Link(at + 4, Resolve(judges_, e.judge, "Transact"));
      b_.Link(at + 8, Resolve(actionSets_, e.action, "Transact"));
    });
  }

  void AlertActionSets() {
    Sets(r_.alertActionSets, kDescAlertActionBytes, &alertActionSets_,
         [this](DWORD at, const DescAlertActionEntry& e) {
           b_.U16(at + 4, e.itemId);
           b_.Link(at + 8, Resolve(transactSets_, e.transact, "AlertAction"));
         });
  }

  void AlertSets() {
    Sets(r_.alertSets, kDescAlertBytes, &alertSets_, [this](DWORD at, const DescAlertEntry& e) {
      b_.Link(at + 4, Resolve(judges_, e.judge, "Alert"));
      b_.U16(at + 8, e.message);
      b_.U16(at + 10, WORD(e.icon));
      b_.U16(at + 12, WORD(e.buttons));
      b_.U16(at + 14, WORD(e.kind));
      b_.Link(at + 16, Resolve(alertActionSets_, e.alertAction, "Alert"));
    });
  }

  void Conditions() {
    DescVector<const DescExclusiveEntry*> blocks;
    for (const DescExclusiveEntry& e : r_.exclusives) {
      if (e.key != 0) {
        blocks.push_back(&e);
      } else {
        Remark(DescIssue::kUnknownItemSymbol, false, "Exclusive");
      }
    }
    if (blocks.empty()) return;
    const DWORD base = b_.Reserve(blocks.size() * kDescConditionsBytes);
    for (size_t i = 0; i < blocks.size(); ++i) {
      const DescExclusiveEntry& e = *blocks[i];
      const DWORD at = DWORD(base + i * kDescConditionsBytes);
      if (i + 1 < blocks.size()) b_.Link(at, at + kDescConditionsBytes);
      b_.U16(at + 4, e.key);
      b_.U16(at + 6, e.itemId);
      b_.Link(at + 8, Resolve(judges_, e.disabledJudge, "Exclusive"));
      b_.Link(at + 12, Resolve(judges_, e.hiddenJudge, "Exclusive"));
      b_.Link(at + 16, Resolve(itemSets_, e.itemSet, "Exclusive"));
      b_.Link(at + 20, Resolve(alertSets_, e.alertSet, "Exclusive"));
      b_.Link(at + 24, Resolve(transactSets_, e.rules, "Exclusive"));
      b_.Link(at + 28, Resolve(transactSets_, e.secondRules, "Exclusive"));
      conditionsByKey_.emplace(e.key, at);  // an item's first entry is its block
    }
    b_.U32(kDescOffFirstConditions, base);
  }

  // ---- UI records and their values ------------------------------------------------------------

  void Records() {
    const size_t count = r_.records.size();
    if (count == 0) return;
    const DWORD base = b_.Reserve(count * kDescNodeBytes);
    b_.Link(kDescOffFirstNode, base);
    size_t i = 0;
    for (const DescUiRecord& record : r_.records) {
      const DWORD at = DWORD(base + i * kDescNodeBytes);
      if (++i < count) b_.Link(at, at + kDescNodeBytes);
      nodes_.emplace(&record, at);
      b_.U16(at + 4, record.key);
      b_.U16(at + 6, WORD(record.number));
      b_.U16(at + 8, record.itemId);
      b_.U16(at + 10, record.type);
      b_.U16(at + 12, record.defaultIndex);
      const WORD block = BlockKindOf(record);
      b_.U16(at + 14, block);
      const auto conditions = conditionsByKey_.find(record.key);
      if (conditions != conditionsByKey_.end()) b_.Link(at + 16, conditions->second);
      if (block != kDescBlockNone) {
        // Records that share their values (Identity) share one list or block.
        const auto placed = values_.emplace(std::make_pair(record.values, block), values_.size());
        if (placed.second) valueOrder_.push_back({record.values, block});
        valueLinks_.push_back({at + 20, placed.first->second});
      }
      if (record.hasCommand) {
        b_.TextLink(at + 24, record.commandPrefix);
        b_.TextLink(at + 28, record.commandSuffix);
      }
    }
    for (int slot = 0; slot < kDescHeaderSlots; ++slot) {
      if (const DescUiRecord* record = r_.slots[slot]) b_.Link(DWORD(slot) * 4, nodes_.at(record));
    }
  }

  void ValueData() {
    DescVector<DWORD> offsets;
    for (const auto& [data, block] : valueOrder_) offsets.push_back(Values(*data, block));
    for (const ValueLink& link : valueLinks_) b_.Link(link.at, offsets[link.placement]);
  }

  DWORD Values(const DescValueData& data, WORD block) {
    if (block == kDescBlockRange) {
      const DWORD at = b_.Reserve(kDescRangeBytes);
      const DescRange& range = data.range;
      const WORD fields[] = {range.n0, range.n1, range.n2, range.n3, range.n4, range.n5};
      for (DWORD i = 0; i < 6; ++i) b_.U16(at + 2 * i, fields[i]);
      b_.U32(at + 12, DWORD(range.defaultValue));
      b_.U32(at + 16, DWORD(range.minimum));
      b_.U32(at + 20, DWORD(range.maximum));
      return at;
    }
    if (block == kDescBlockString) {
      const DWORD at = b_.Reserve(kDescStringBytes);
      b_.U16(at, data.string.defaultValue);
      b_.U16(at + 2, data.string.length);
      b_.U16(at + 4, data.string.stringClass);
      b_.U16(at + 6, data.string.showFlags);
      return at;
    }
    if (block == kDescBlockBoolean) {
      const DWORD at = b_.Reserve(kDescBooleanBytes);
      b_.U32(at, DWORD(data.boolean.defaultValue));
      if (data.boolean.hasTrueText) b_.TextLink(at + 4, data.boolean.trueText);
      if (data.boolean.hasFalseText) b_.TextLink(at + 8, data.boolean.falseText);
      return at;
    }
    const size_t count = data.entries.size();
    if (count == 0) return 0;
    const DWORD entryBytes = DescValueEntryBytes(block);
    const DWORD base = b_.Reserve(count * entryBytes);
    for (size_t i = 0; i < count; ++i) {
      const DescValueEntry& entry = data.entries[i];
      const DWORD at = DWORD(base + i * entryBytes);
      if (i + 1 < count) b_.Link(at, at + entryBytes);
      b_.U16(at + 4, entry.value);
      b_.U16(at + 6, block);
      if (entry.hasText) b_.TextLink(at + 8, entry.text);
      if (block == kDescBlockPageList) {
        if (entry.hasMetric) {
          b_.U32(at + 12, DWORD(entry.metricWidth));
          b_.U32(at + 16, DWORD(entry.metricLength));
        }
        b_.Link(at + 20, Papers(entry.papers));
      } else if (block == kDescBlockSlotList && !entry.trayPapers.empty()) {
        const DWORD papers = b_.Reserve(entry.trayPapers.size() * 2);
        for (size_t p = 0; p < entry.trayPapers.size(); ++p) b_.U16(DWORD(papers + 2 * p), entry.trayPapers[p]);
        b_.U32(at + 12, DWORD(entry.trayPapers.size()));
        b_.Link(at + 16, papers);
      } else if (block == kDescBlockFontList && !entry.fontPairs.empty()) {
        const size_t pairs = entry.fontPairs.size();
        const DWORD firsts = b_.Reserve(pairs * 4);
        const DWORD seconds = b_.Reserve(pairs * 4);
        for (size_t p = 0; p < pairs; ++p) {
          b_.TextLink(DWORD(firsts + 4 * p), entry.fontPairs[p].first);
          b_.TextLink(DWORD(seconds + 4 * p), entry.fontPairs[p].second);
        }
        b_.U32(at + 12, DWORD(pairs));
        b_.Link(at + 16, firsts);
        b_.Link(at + 20, seconds);
      }
    }
    return base;
  }

  DWORD Papers(const DescVector<DescPaperRecord>& papers) {
    if (papers.empty()) return 0;
    const DWORD base = b_.Reserve(papers.size() * kDescPaperBytes);
    for (size_t i = 0; i < papers.size(); ++i) {
      const DescPaperRecord& p = papers[i];
      const DWORD at = DWORD(base + i * kDescPaperBytes);
      if (i + 1 < papers.size()) b_.Link(at, at + kDescPaperBytes);
      b_.U16(at + 4, p.resolution);
      b_.U16(at + 6, p.orientation);
      b_.U16(at + 8, p.conditionItem);
      b_.U16(at + 10, p.conditionValue);
      const LONG fields[] = {p.left, p.top, p.width, p.length, p.a, p.b};
      for (DWORD f = 0; f < 6; ++f) b_.U32(at + 12 + 4 * f, DWORD(fields[f]));
    }
    return base;
  }

  // ---- Templates and fonts -------------------------------------------------------------------

  bool JudgesResolve(const DescCommandList& list) const {
    for (const DescCommandNode& node : list) {
      if (node.kind != kCommandConditional) continue;
      if (node.judge == 0 || !JudgeExists(node.judge) || !JudgesResolve(node.thenList) ||
          !JudgesResolve(node.elseList))
        return false;
    }
    return true;
  }

  void Templates() {
    for (const DescCommandString& string : r_.commandStrings) strings_.emplace(string.number, &string.text);
    for (int point = kPointJobStart; point <= kPointDocReset; ++point) {
      if (!r_.hasCommandTree[point]) continue;
      if (!JudgesResolve(r_.commandTrees[point])) {
        Remark(DescIssue::kUnresolvedReference, true, "CommandGroup");
        continue;
      }
      const DWORD branch = b_.Reserve(kDescBranchBytes);
      b_.Link(DWORD(DescCommandPointOffset(point)), branch);
      b_.Link(branch + 4, TemplateList(r_.commandTrees[point]));
    }
  }

  // The nodes of a list consecutively, then what each conditional leads to, so that every link
  // of a template points forward.
  DWORD TemplateList(const DescCommandList& list) {
    if (list.empty()) return 0;
    const DWORD base = b_.Reserve(list.size() * kDescTemplateNodeBytes);
    for (size_t i = 0; i < list.size(); ++i) {
      const DescCommandNode& node = list[i];
      const DWORD at = DWORD(base + i * kDescTemplateNodeBytes);
      if (i + 1 < list.size()) b_.Link(at, at + kDescTemplateNodeBytes);
      b_.U16(at + 4, node.kind);
      if (node.kind == kCommandGroup) {
        b_.U16(at + 6, node.itemId);
        b_.U16(at + 8, WORD(node.number));
      } else if (node.kind == kCommandString) {
        const auto found = strings_.find(node.stringNumber);
        if (found != strings_.end()) {
          b_.LiteralLink(at + 12, *found->second);
        } else {
          Remark(DescIssue::kUnresolvedReference, false, "CommandGroup");  // writes nothing
        }
      }
    }
    for (size_t i = 0; i < list.size(); ++i) {
      const DescCommandNode& node = list[i];
      if (node.kind != kCommandConditional) continue;
      const DWORD branch = b_.Reserve(kDescBranchBytes);
      b_.Link(DWORD(base + i * kDescTemplateNodeBytes + 12), branch);
      b_.Link(branch, judges_.at(node.judge));
      b_.Link(branch + 4, TemplateList(node.thenList));
      b_.Link(branch + 8, TemplateList(node.elseList));
    }
    return base;
  }

  void Fonts() {
    const struct {
      const DescVector<DescFont>* fonts;
      DWORD countAt;
    } lists[] = {{&r_.deviceFonts, kDescOffDeviceFontCount}, {&r_.fontCartridges, kDescOffCartridgeCount}};
    for (const auto& list : lists) {
      const size_t count = list.fonts->size();
      if (count == 0) continue;
      const DWORD rows = b_.Reserve(count * kDescFontRowBytes);
      for (size_t i = 0; i < count; ++i) {
        b_.U32(DWORD(rows + i * kDescFontRowBytes), DWORD((*list.fonts)[i].number));
        b_.TextLink(DWORD(rows + i * kDescFontRowBytes + 4), (*list.fonts)[i].name);
      }
      b_.U32(list.countAt, DWORD(count));
      b_.Link(list.countAt + 4, rows);
    }
  }

  // ---- Header, stamp and the finished block --------------------------------------------------

  ModelDescription* Finish() {
    DescVector<BYTE>& bytes = b_.bytes();
    const DWORD size = DWORD(bytes.size());
    for (DWORD i = 0; i < 16 && r_.version[i]; ++i) DescStoreU16(&bytes[kDescOffVersion + 2 * i], r_.version[i]);
    DescStoreU16(&bytes[kDescOffVersion + 30], 0);
    b_.U32(kDescOffImageSize, size);
    b_.U32(kDescOffStampMagic, kDescStampMagic);
    b_.U32(kDescOffStampLayout, kDescLayoutVersion);
    b_.U64(kDescOffStampSymbols, DescSymbolTablesHash());
    b_.U64(kDescOffStampSourceSize, source_.size);
    b_.U64(kDescOffStampSourceTime, source_.lastWrite);
    b_.U64(kDescOffStampChecksum, DescImageChecksum(bytes.data(), size));
    BYTE* block = static_cast<BYTE*>(GlobalAlloc(GMEM_FIXED, size));
    if (!block) return nullptr;
    std::memcpy(block, bytes.data(), size);
    return DescAdoptImage(block, size);
  }

  struct ValueLink {
    DWORD at;
    size_t placement;
  };

  DescParseResult& r_;
  const DescSourceStamp source_;
  ImageBuilder b_;
  DescMap<LONG, DWORD> judges_, itemSets_, actionSets_, transactSets_, alertActionSets_, alertSets_;
  DescMap<WORD, DWORD> conditionsByKey_;
  DescMap<const DescUiRecord*, DWORD> nodes_;
  DescMap<std::pair<const DescValueData*, WORD>, size_t> values_;
  DescVector<std::pair<const DescValueData*, WORD>> valueOrder_;
  DescVector<ValueLink> valueLinks_;
  DescMap<LONG, const DescString*> strings_;
};

}  // namespace

ModelDescription* DescBuildImage(DescParseResult* result, const DescSourceStamp& source) {
  if (!result) return nullptr;
  ModelDescription* description = nullptr;
  try {
    description = DescCompiler(result, source).Run();
  } catch (const std::bad_alloc&) {
    return nullptr;
  } catch (const TooLarge&) {
    return nullptr;
  }
  // What the compiler writes, a cache file must be able to read back.
  if (description && !DescValidateImage(description->bytes, description->size)) {
    DescFreeImage(description);
    return nullptr;
  }
  return description;
}

ModelDescription* DescAdoptImage(BYTE* bytes, DWORD size) {
  if (!bytes) return nullptr;
  auto* description = static_cast<ModelDescription*>(SysAlloc(sizeof(ModelDescription)));
  if (!description) {
    GlobalFree(bytes);
    return nullptr;
  }
  description->bytes = bytes;
  description->size = size;
  return description;
}

void DescFreeImage(ModelDescription* description) {
  if (!description) return;
  GlobalFree(description->bytes);
  SysFree(description);
}
