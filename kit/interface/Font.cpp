#include "kit/interface/Font.h"

namespace {
const BFont kPlainFont;
}

const BFont* be_plain_font = &kPlainFont;
