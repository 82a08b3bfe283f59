#include "form2layout.h"

namespace qmv::layout {

int scaledRowHeight(int twips)
{
    const int threeHalves = 3 * twips;
    int height = threeHalves / 2;
    if (threeHalves % 2 != 0 && height % 2 != 0)
        ++height;
    return height;
}

HeaderLayout headerLayout(float gridLeft, float columnLabelWidth)
{
    HeaderLayout layout;
    for (LabelSpan &label : layout.columns)
        label.width = columnLabelWidth;
    auto &cols = layout.columns;
    cols[0].left = gridLeft;
    cols[1].left = cols[0].left + cols[0].width;
    cols[2].left = cols[1].left + cols[1].width - 10;
    for (std::size_t i = 3; i < cols.size(); ++i)
        cols[i].left = cols[i - 1].left + cols[i - 1].width;

    layout.bell1.width = cols[1].width + cols[2].width + cols[3].width - 80;
    layout.bell2.width = cols[4].width + cols[5].width + cols[6].width - 80;
    layout.light.width = cols[7].width;
    layout.bell1.left = cols[0].left + cols[0].width + 40;
    layout.bell2.left = layout.bell1.left + layout.bell1.width + 80;
    layout.light.left = layout.bell2.left + layout.bell2.width + 80;
    return layout;
}

} // namespace qmv::layout
