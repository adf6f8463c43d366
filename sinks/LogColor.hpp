#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vorla {

// A terminal foreground colour: one of the sixteen named ones or an entry of the 256-colour
// palette.
class LogColor {
public:
    enum class Kind : std::uint8_t {
        colorNumber,
        black,
        red,
        green,
        yellow,
        blue,
        magenta,
        cyan,
        lightGray,
        darkGray,
        lightRed,
        lightGreen,
        lightYellow,
        lightBlue,
        lightMagenta,
        lightCyan,
        white,
    };

    constexpr LogColor(Kind kind) : kind_(kind) {}
    static constexpr LogColor colorNumber(std::uint8_t number) {
        LogColor color(Kind::colorNumber);
        color.number_ = number;
        return color;
    }

    static const LogColor black, red, green, yellow, blue, magenta, cyan, lightGray, darkGray,
        lightRed, lightGreen, lightYellow, lightBlue, lightMagenta, lightCyan, white;

    constexpr Kind kind() const { return kind_; }
    // The palette index; meaningful for colorNumber only.
    constexpr std::uint8_t number() const { return number_; }

    // ESC[<parameter>m: 30-37 and 90-97 for the named colours, 38;5;n for a palette entry.
    std::string foregroundCode() const;
    // ESC[0m.
    std::string resetCode() const;

    friend constexpr bool operator==(const LogColor&, const LogColor&) = default;

private:
    Kind kind_;
    std::uint8_t number_ = 0;
};

inline constexpr LogColor LogColor::black{Kind::black};
inline constexpr LogColor LogColor::red{Kind::red};
inline constexpr LogColor LogColor::green{Kind::green};
inline constexpr LogColor LogColor::yellow{Kind::yellow};
inline constexpr LogColor LogColor::blue{Kind::blue};
inline constexpr LogColor LogColor::magenta{Kind::magenta};
inline constexpr LogColor LogColor::cyan{Kind::cyan};
inline constexpr LogColor LogColor::lightGray{Kind::lightGray};
inline constexpr LogColor LogColor::darkGray{Kind::darkGray};
inline constexpr LogColor LogColor::lightRed{Kind::lightRed};
inline constexpr LogColor LogColor::lightGreen{Kind::lightGreen};
inline constexpr LogColor LogColor::lightYellow{Kind::lightYellow};
inline constexpr LogColor LogColor::lightBlue{Kind::lightBlue};
inline constexpr LogColor LogColor::lightMagenta{Kind::lightMagenta};
inline constexpr LogColor LogColor::lightCyan{Kind::lightCyan};
inline constexpr LogColor LogColor::white{Kind::white};

// The text between the colour's foreground code and the reset code.
std::string colorize(std::string_view text, LogColor color);

} // namespace vorla
