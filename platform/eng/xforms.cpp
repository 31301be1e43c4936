// Transforms: a matrix applied to points, with its inverse.
#include <cmath>
#include <cstring>
#include <new>

#include "core/winerror.h"
#include "eng/eng_internal.h"

namespace velm::platform::eng {

Registry<Xform>& Xforms() {
  static Registry<Xform> registry;
  return registry;
}
Xform* FindXform(const XFORMOBJ* pxo) { return pxo ? Xforms().Find(pxo) : nullptr; }

XFORMOBJ* NewXform(const XFORML& m) {
  auto* xform = new (std::nothrow) Xform;
  if (!xform) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  xform->m = m;
  Xforms().Add(xform);
  return &xform->xo;
}

}  // namespace velm::platform::eng

namespace velm::platform {
using namespace eng;

XFORMOBJ* CreateXformObj(const XFORML& matrix) { return NewXform(matrix); }

void DeleteXformObj(XFORMOBJ* pxo) {
  Xform* xform = FindXform(pxo);
  if (xform && Xforms().Remove(xform)) delete xform;
}

}  // namespace velm::platform

using namespace velm::platform::eng;

namespace {

constexpr XFORML kIdentity{1, 0, 0, 1, 0, 0};

const XFORML& MatrixOf(XFORMOBJ* pxo) {
  const Xform* xform = FindXform(pxo);
  return xform ? xform->m : kIdentity;
}

LONG RoundToLong(double value) {
  if (value > 2147483647.0) return 2147483647;
  if (value < -2147483648.0) return -2147483647 - 1;
  return static_cast<LONG>(std::lround(value));
}

}  // namespace

extern "C" ULONG XFORMOBJ_iGetXform(XFORMOBJ* pxo, XFORML* pxform) {
  const XFORML& m = MatrixOf(pxo);
  if (pxform) *pxform = m;
  if (m.eM12 != 0 || m.eM21 != 0) return GX_GENERAL;
  if (m.eM11 != 1 || m.eM22 != 1) return GX_SCALE;
  if (m.eDx != 0 || m.eDy != 0) return GX_OFFSET;
  return GX_IDENTITY;
}

extern "C" BOOL XFORMOBJ_bApplyXform(XFORMOBJ* pxo, ULONG iMode, ULONG cPoints, PVOID pvIn, PVOID pvOut) {
  if (iMode > XF_INV_FXTOL || ((!pvIn || !pvOut) && cPoints)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const XFORML& m = MatrixOf(pxo);
  const bool inverse = iMode == XF_INV_LTOL || iMode == XF_INV_FXTOL;
  const double det = static_cast<double>(m.eM11) * m.eM22 - static_cast<double>(m.eM12) * m.eM21;
  if (inverse && det == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const double scaleIn = iMode == XF_INV_FXTOL ? 1.0 / 16 : 1.0;
  const double scaleOut = iMode == XF_LTOFX ? 16.0 : 1.0;
  for (ULONG i = 0; i < cPoints; ++i) {
    LONG in[2];  // POINTL and POINTFIX are both two LONGs
    std::memcpy(in, static_cast<BYTE*>(pvIn) + i * sizeof in, sizeof in);
    const double x = in[0] * scaleIn, y = in[1] * scaleIn;
    double ox, oy;
    if (!inverse) {
      ox = x * m.eM11 + y * m.eM21 + m.eDx;
      oy = x * m.eM12 + y * m.eM22 + m.eDy;
    } else {
      const double u = x - m.eDx, v = y - m.eDy;
      ox = (u * m.eM22 - v * m.eM21) / det;
      oy = (v * m.eM11 - u * m.eM12) / det;
    }
    const LONG out[2] = {RoundToLong(ox * scaleOut), RoundToLong(oy * scaleOut)};
    std::memcpy(static_cast<BYTE*>(pvOut) + i * sizeof out, out, sizeof out);
  }
  return TRUE;
}
