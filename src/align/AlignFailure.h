// Why an automatic alignment found nothing.
#pragma once

namespace vx {

enum class EAlignFailure { None, TooFewMatches, NoFace, NoEyes, Cancelled };

} // namespace vx
