#include "exc_fixture.h"
#include <cstdio>
namespace velm::test {
class Scratch : public ExcTest {};
TEST_F(Scratch, Explore) {
  EXCSESSION s = Session();
  ASSERT_NE(s, nullptr);
  for (WORD id : {7, 8, 13, 50, 12, 61, 64, 65, 66, 129, 102, 95, 59, 94, 487, 441, 499, 443, 42, 90, 58, 92, 93, 136, 134})
    printf("item %d = %u\n", id, Item(s, id));
  std::string changes;
  std::string block = kRequiredLines + SetLine("COLLATE", "SORT") + SetLine("DUPLEX", "ON") + SetLine("STAPLE", "OFF") +
                      SetLine("BINDING", "LEFT") + SetLine("NUP", "2IN1P1") + SetLine("COPIES", "3") +
                      SetLine("FORCEFEED", "SEF") + SetLine("BOOKLET", "OFF") + SetLine("OUTBIN", "UPPER");
  int r = ApplyBase(s, block, &changes);
  printf("base %d changes [%s]\nbase now [%s]\n", r, changes.c_str(), Base(s).c_str());
  for (const char* cmd : {"COLLATE", "OUTBIN", "TRAY", "DUPLEX", "STAPLE", "PAPER", "BINDING", "NUP", "BOOKLET", "FORCEFEED", "COPIES"}) {
    std::string a, b;
    for (auto& v : Values(s, cmd, 0)) a += v + ",";
    for (auto& v : Values(s, cmd, 1)) b += v + ",";
    printf("%s all [%s] ok [%s]\n", cmd, a.c_str(), b.c_str());
  }
  r = Update(s, SetLine("DUPLEX", "OFF"), &changes);
  printf("upd %d [%s]\n", r, changes.c_str());
  r = Update(s, SetLine("STAPLE", "LEFT2"), &changes);
  printf("upd %d [%s]\n", r, changes.c_str());
  r = Update(s, SetLine("FORCEFEED", "LEF"), &changes);
  printf("upd %d [%s]\n", r, changes.c_str());
  r = Update(s, SetLine("BOOKLET", "BOOKLETC"), &changes);
  printf("upd %d [%s]\n", r, changes.c_str());
  printf("base now [%s]\n", Base(s).c_str());
  for (const char* cmd : {"TRAYPAPER1", "USERCODE", "MEMORYSIZE", "TRAYPAPERMEDIA1"}) printf("%s = [%s]\n", cmd, Value(s, cmd).c_str());
}
}
