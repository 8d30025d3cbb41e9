// The soft edge that leads the front of the two soft wipes (ids 1 and 2).
#pragma once

#include "Transition.h"

namespace pvsm {

enum class StripAxis {
    Columns, // strips are columns of `stripPx` pixels, the front moves along x
    Rows     // strips are rows of `stripPx` pixels, the front moves along y
};

// `BeginTransition` for the soft wipes: canvas A holds OLD; B stays empty, as
// the soft edge blends straight into DEST (see SoftEdgeStep). Release with
// `EndTransition`.
TransitionSurfaces BeginSoftWipe(clsMemDC &dest, const clsMemDC &newPicture);

// One step of a soft wipe whose front strip has index `frontIndex` (pixel
// position frontIndex × stripPx) and which moves in `direction` (+1 towards
// larger coordinates, −1 towards smaller). The 13 strips ahead of the front
// show OLD (canvas A) blended with NEW, NEW at 255 one strip ahead down to
// 15/255 thirteen strips ahead; the front strip itself gets NEW.
//
// Writes DEST only; reads A (must still hold OLD) and NEW. Strips outside the
// canvas are clipped away, so a front may stand outside the picture.
// `stripPx` < 1 does nothing.
void SoftEdgeStep(TransitionSurfaces &s, StripAxis axis, int stripPx, int frontIndex, int direction);

// Copies the strips firstIndex … lastIndex (inclusive, either order) from NEW
// to DEST in one block: what the fronts of the soft edge steps in between
// would have left there. Lets a wipe draw only the steps it writes.
void CopyStripsFromNew(TransitionSurfaces &s, StripAxis axis, int stripPx, int firstIndex, int lastIndex);

} // namespace pvsm
