#include "ui2k/items/item_seams.h"

#include <atomic>
#include <string>

#include "ui2k/entry/seams.h"

namespace {

std::atomic<const ItemSeams*> g_seams{&kItemSeamsRecording};

// A record lost for want of memory changes nothing the driver does.
void Note(std::string call) try {
  UiNoteSeamCall(std::move(call));
} catch (...) {
}

// An item procedure not built yet: takes nothing, records the commands it is offered.
template <const char* kName>
LRESULT Recording(UiContext*, HWND, PageItemTemplate* row, UINT message, WPARAM wParam, LPARAM) try {
  if (message == WM_COMMAND && row) Note(std::string(kName) + " " + std::to_string(LOWORD(wParam)));
  return 0;
} catch (...) {
  return 0;
}

constexpr char kPresetControl[] = "DlgPresetControlProc";
constexpr char kMaintenance[] = "DlgMaintenanceProc";
constexpr char kFontSubstitution[] = "DlgFontSubstitutionProc";
constexpr char kStamp[] = "DlgStampProc";
constexpr char kQuality[] = "DlgQualityProc";
constexpr char kFreeSize[] = "DlgFreeSizeProc";
constexpr char kOption[] = "DlgOptionProc";
constexpr char kPrintType[] = "DlgPrintTypeProc";
constexpr char kRemote[] = "DlgRemoteProc";
constexpr char kAddress[] = "DlgAddressProc";

}  // namespace

const ItemSeams kItemSeamsRecording = {
    Recording<kPresetControl>,
    Recording<kMaintenance>,
    Recording<kFontSubstitution>,
    Recording<kStamp>,
    Recording<kQuality>,
    Recording<kFreeSize>,
    Recording<kOption>,
    Recording<kPrintType>,
    Recording<kRemote>,
    Recording<kAddress>,
};

const ItemSeams& ItemGetSeams() { return *g_seams.load(); }

void ItemSetSeams(const ItemSeams* seams) { g_seams.store(seams ? seams : &kItemSeamsRecording); }
