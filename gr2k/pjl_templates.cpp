#include "gr2k/pjl_templates.h"

namespace {

int NoText(DWORD* length) {
  if (length) *length = 0;
  return 0;
}

}  // namespace

int PjlBuildJobStart(void*, char*, DWORD, DWORD* length) { return NoText(length); }

int PjlBuildPageStart(void*, char*, DWORD, DWORD* length) { return NoText(length); }

int PjlBuildPageEnd(void*, char*, DWORD, DWORD* length) { return NoText(length); }
