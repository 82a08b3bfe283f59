#pragma once

#include <QRect>

// Window layouts are given in twips; 15 twips make one logical pixel.
namespace qmv {

inline constexpr double TwipsPerPixel = 15.0;

constexpr int tw(double twips)
{
    return int(twips / TwipsPerPixel + (twips >= 0 ? 0.5 : -0.5));
}
inline QRect twRect(double left, double top, double width, double height)
{
    return QRect(tw(left), tw(top), tw(width), tw(height));
}
inline double toTwips(int pixels)
{
    return pixels * TwipsPerPixel;
}

} // namespace qmv
