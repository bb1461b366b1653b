#pragma once

#include <QtGlobal>
#include <vector>

// What the writer needs to know of the workbook's cell formats (XF records): how many there are
// and which are style formats, which a cell must not carry.
struct XfTable
{
    std::vector<bool> isStyle;

    // The format for a new cell given the one its row or column suggests: that one when it is a
    // cell format of the workbook, otherwise the workbook's first cell format.
    quint16 Usable(int xf) const
    {
        if (xf >= 0 && size_t(xf) < isStyle.size() && !isStyle[size_t(xf)])
            return quint16(xf);
        for (size_t i = 0; i < isStyle.size(); ++i)
            if (!isStyle[i])
                return quint16(i);
        return 15;
    }
};
