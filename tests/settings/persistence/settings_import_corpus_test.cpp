// Replays the settings-import fuzz target's corpus as ordinary test cases.
#include <gtest/gtest.h>

#include <filesystem>

#include "fuzz/settings_import_fuzz.h"
#include "settings/items/store_fixture.h"

namespace {

// A kind-0 context without a printer, named as the fuzz target names its own.
class SettingsImportCorpusTest : public ItemStoreTest {};

TEST_F(SettingsImportCorpusTest, EverySettingsImportCorpusInputKeepsToItsItems) {
  lstrcpynW(context_->work->printerName, velm::fuzz::kImportPrinterName, kNameChars);
  const std::filesystem::path corpus = velm::test::SourceDir() / "fuzz" / "corpus" / "settings_import";
  size_t inputs = 0;
  for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
    const std::string bytes = velm::test::ReadHostFile(entry.path());
    SCOPED_TRACE(entry.path().filename().string());
    EXPECT_EQ(velm::fuzz::CheckSettingsImport(context_, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()),
              "");
    ++inputs;
  }
  EXPECT_GE(inputs, 10u);
}

}  // namespace
