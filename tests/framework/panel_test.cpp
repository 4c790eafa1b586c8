#include "framework/panel.h"

#include <gtest/gtest.h>

#include "framework/form.h"
#include "support/string_utils.h"
#include "support/utf8.h"
#include "tests/window_reader.h"

namespace {

TEST(Panel, AnotherProcessReadsItsUndrawnText) {
  TForm form("VoxaroPanelTest");
  TPanel panel(&form);
  panel.SetText("Eine Datei einf\xFC"
                "gen.");
  EXPECT_EQ(ReadFromAnotherProcess(panel.Handle()), "TPanel\n" +
                                                        AnsiToUtf8("Eine Datei einf\xFC"
                                                                   "gen.") +
                                                        "\n");
}

} // namespace
