// A UI context on the test printer with helpers to write and read settings files in the machine
// root and to answer and record the message boxes the stored-settings code shows.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "core/unicode.h"
#include "data/item_ids.h"
#include "settings/items/store.h"
#include "settings/persistence/paths.h"
#include "settings/persistence/settings_export.h"
#include "settings/services/resource_strings.h"
#include "settings/services/spooler_info.h"
#include "ui2k/entry/entry_fixture.h"
#include "ui2k/store/stored_settings.h"

namespace velm::test {

class StoredSettingsTest : public UiContextTest {
 protected:
  void SetUp() override {
    UiContextTest::SetUp();
    ui::onMessageBox([](const UiMessageBoxCall&) { return IDOK; });
  }
  DriverContext* ctx() const { return ui_->driver; }
  std::string PrinterName() const { return platform::Utf16ToUtf8(PrnGetPrinterName(ui_->driver)); }
  std::string DriverName() const { return platform::Utf16ToUtf8(PrnGetDriverName(ui_->driver)); }
  // "C:\<relative with backslashes>" as the driver sees it.
  static std::u16string Win(const std::string& relative) {
    std::string path = "C:\\" + relative;
    for (char& c : path)
      if (c == '/') c = '\\';
    return platform::Utf8ToUtf16(path);
  }
  std::filesystem::path Host(const std::string& relative) const { return root_.OnDriveC(relative); }
  void Write(const std::string& relative, const std::string& text) const {
    std::filesystem::create_directories(Host(relative).parent_path());
    std::ofstream(Host(relative), std::ios::binary) << text;
  }
  std::string Read(const std::string& relative) const {
    std::ifstream in(Host(relative), std::ios::binary);
    std::stringstream out;
    out << in.rdbuf();
    return out.str();
  }
  bool Exists(const std::string& relative) const { return std::filesystem::exists(Host(relative)); }
  // A header section for this model: "[section]" with RstVersion, RstMachine, RstLanguage.
  std::string Header(const std::string& section, int version = 200, int machine = 130, int language = -1) const {
    if (language < 0) language = static_cast<int>(OptGetValue(ui_->driver, kItemLanguageID));
    std::string text = "[" + section + "]\r\nRstVersion=" + std::to_string(version) + "\r\n";
    if (machine >= 0) text += "RstMachine=" + std::to_string(machine) + "\r\n";
    if (language != 0xFFFF) text += "RstLanguage=" + std::to_string(language) + "\r\n";
    return text;
  }
  // Message boxes shown since the last call.
  std::vector<UiMessageBoxCall> TakeMessages() {
    const std::vector<UiMessageBoxCall>& calls = ui::messageBoxes();
    std::vector<UiMessageBoxCall> fresh(calls.begin() + static_cast<long>(std::min(taken_, calls.size())), calls.end());
    taken_ = calls.size();
    return fresh;
  }
  static bool Mentions(const UiMessageBoxCall& call, const std::u16string& text) {
    return call.text.find(text) != std::u16string::npos;
  }
  // The text of string `id` as the resource library holds it.
  std::u16string StringOf(UINT id) const {
    WCHAR text[512] = {};
    ResLoadString(ui_->driver, id, text, 512, FALSE);
    return text;
  }
  std::u16string SettingsIni() const { return PathGetSettingsIni(ui_->driver); }

  size_t taken_ = 0;
};

}  // namespace velm::test
