#pragma once

#include "PlacementRules.h"

#include <Qt>

namespace pvsm::ui {

// The mouse cursor Qt shows for a placement rule's cursor.
inline Qt::CursorShape cursorShape(PlacementCursor cursor)
{
    switch (cursor) {
    case PlacementCursor::Normal: break;
    case PlacementCursor::Move: return Qt::SizeAllCursor;
    case PlacementCursor::SizeWE: return Qt::SizeHorCursor;
    case PlacementCursor::SizeNS: return Qt::SizeVerCursor;
    case PlacementCursor::SizeNWSE: return Qt::SizeFDiagCursor;
    case PlacementCursor::SizeNESW: return Qt::SizeBDiagCursor;
    }
    return Qt::ArrowCursor;
}

} // namespace pvsm::ui
