#pragma once

#include <array>

// Measures of the editor window that are computed rather than designed, in twips.
namespace qmv::layout {

// Rows are made half as high again as designed; half a twip goes to the even neighbour.
int scaledRowHeight(int twips);

struct LabelSpan
{
    float left = 0;
    float width = 0;
};

// The labels over the bell table: the eight column labels, each placed after the one before
// it, and the three group labels over BELL 1, BELL 2 and LIGHT.
struct HeaderLayout
{
    std::array<LabelSpan, 8> columns;
    LabelSpan bell1;
    LabelSpan bell2;
    LabelSpan light;
};

HeaderLayout headerLayout(float gridLeft, float columnLabelWidth);

} // namespace qmv::layout
