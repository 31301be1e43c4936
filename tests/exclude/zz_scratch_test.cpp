#include "exc_fixture.h"
#include <cstdio>
namespace velm::test {
class Scratch : public ExcTest {};
TEST_F(Scratch, Explore) {
  EXCSESSION s = Session();
  ASSERT_NE(s, nullptr);
  std::string changes;
  std::string block = "@PJL SET APLPAGESIZE = A4 \r\n@PJL SET APLPAGELAYOUT = PORTRAIT \r\n@PJL SET PAPER = SAME \r\n@PJL SET TRAY = TRAY1 \r\n" + SetLine("COLLATE", "OFF") + SetLine("DUPLEX", "OFF") + SetLine("COPIES", "3") + SetLine("OUTBIN", "UPPER")+ SetLine("STAPLE", "OFF")+ SetLine("NUP", "OFF")+ SetLine("SCALETYPE", "OFF")+ SetLine("PAPERSCALEW", "100");
  int r = ApplyBase(s, block, &changes);
  printf("base %d changes [%s]\nbase now [%s]\n", r, changes.c_str(), Base(s).c_str());
  for (const char* u : {"APLPAGESIZE = A6", "APLPAGESIZE = A4", "TRAY = TRAY1", "DUPLEX = ON", "APLPAGESIZE = A5", "COPIES = 5", "NUP = 4IN1P1", "SCALETYPE = PAPERSCALE", "PAPERSCALEW = 50"}) {
    r = Update(s, "@PJL SET " + std::string(u) + " \r\n", &changes);
    printf("upd %s: %d [%s]\n", u, r, changes.c_str());
  }
  printf("base now [%s]\n", Base(s).c_str());
  for (const char* cmd : {"TRAY", "COPIES", "PAPERSCALEW", "SCALETYPE"}) {
    std::string a, b;
    for (auto& v : Values(s, cmd, 0)) a += v + ",";
    for (auto& v : Values(s, cmd, 1)) b += v + ",";
    printf("%s all [%s] ok [%s]\n", cmd, a.c_str(), b.c_str());
  }
  for (WORD it : {12, 92, 93, 106, 107, 10012, 10003}) printf("node %d %p\n", it, (const void*)CmdFindCommandNode(s->context, it, 0));
}
}
