#pragma once
// Writes the elements of an SVG picture: every text and title escaped for XML, coordinates with
// one decimal at most.

#include <iosfwd>
#include <string>
#include <string_view>

namespace kestrova {

// A pixel coordinate with one decimal at most: "12", "12.5", "-0.5".
std::string Px(double value);

class SvgWriter {
public:
    explicit SvgWriter(std::ostream& out) : out_(out) {}

    void begin(int width, int height, const std::string& title, std::string_view style);
    void end();

    void text(double x, double y, std::string_view content, std::string_view cssClass = {},
              std::string_view anchor = {}, std::string_view tooltip = {});
    void rect(double x, double y, double width, double height, std::string_view cssClass,
              std::string_view tooltip = {});
    // Nothing is written for empty path data.
    void path(std::string_view cssClass, const std::string& data, std::string_view tooltip = {});

private:
    std::ostream& out_;
};

} // namespace kestrova
