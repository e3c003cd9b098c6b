// The illustrated HTML manual of a timeline: <folder>\<name>.html with one
// card per operation (its screenshot cut to a 195-pixel box with a red
// marker at the click point, its title and detail lines), and beside it
// <folder>\<name>\ with point.svg and the screenshots as <offset>.png.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "operation_record.h"

namespace zvb {

constexpr int32_t kManualBox = 195;  // side of a card's image box in pixels

// The operation's reference rectangle (the desktop for a desktop
// operation, else its window) scaled so that its longer side fills the box,
// and centred in it.
struct BoxFit {
    float scale;            // k; 0 when the rectangle has no size
    int32_t width, height;  // w, h: the scaled rectangle
    int32_t left, top;      // cx, cy: its offset in the box
};
BoxFit box_fit(const OperationRecord& r);

// A screenshot as a card shows it: its offset in the image store and its
// pixel size (0 x 0 when it is no PNG).
struct CardImage {
    bool present;
    uint32_t offset;
    int32_t width, height;
};

// The image block of a card (the HTML lines inside the card's item): the
// screenshot, placed by what it shows (a window inside the desktop box, a
// whole screen shifted so the window fills the box, or simply centred),
// and the click marker of a mouse operation whose point lies inside the
// reference rectangle. `name` is the scenario's, whose folder holds the
// images.
std::string manual_image_block(const OperationRecord& r, const std::u16string& name, const CardImage& image);

// One operation's card, numbered from 1, with the image block as above.
std::string manual_card(const OperationRecord& r, int number, const std::u16string& name, const CardImage& image);

// Writes the manual of the operations after `head` into `folder`: the
// folder <name> (created when missing) with the marker and every screenshot
// of `image_store` that an unmasked operation uses, written once per
// offset; then <name>.html from the head template. An image store that
// cannot be read gives cards without screenshots. False with *error when a
// file cannot be written.
bool manual_write(const std::u16string& folder, const std::u16string& name, const OperationRecord* head,
                  const std::u16string& image_store, std::string_view head_template, std::string_view marker,
                  uint32_t* error);

}  // namespace zvb
