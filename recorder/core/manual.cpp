#include "manual.h"

#include <cstring>
#include <unordered_map>
#include <vector>

#include "errors.h"
#include "file_util.h"
#include "html_text.h"
#include "operation_codes.h"
#include "operation_details.h"
#include "operation_title.h"

namespace zvb {

namespace {

// Pixels from a scaled coordinate: truncated, and held to a range where
// no record, however odd, makes the conversion overflow.
int32_t px(float v) {
    if (!(v > -1.0e9f)) return v != v ? 0 : -1000000000;
    if (v > 1.0e9f) return 1000000000;
    return int32_t(v);
}

int64_t extent(int32_t from, int32_t to) {
    int64_t n = int64_t(to) - int64_t(from);
    return n > 0 ? n : 0;
}

bool same_rect(const Rect32& a, const Rect32& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// The image line of a placed image: by width when the box is wider than
// high, else by height.
void placed_line(std::string& out, const std::string& src, const BoxFit& fit, float width, float height, int32_t left,
                 int32_t top) {
    if (fit.height < fit.width)
        html_appendf(out, "\t\t<img src=\"%s\" style=\"width:%dpx; height:auto; left:%dpx; top:%dpx;\"/>\r\n",
                     src.c_str(), px(width), left, top);
    else
        html_appendf(out, "\t\t<img src=\"%s\" style=\"width:auto; height:%dpx; left:%dpx; top:%dpx;\"/>\r\n",
                     src.c_str(), px(height), left, top);
}

std::u16string number_text(uint64_t v) {
    std::string digits = std::to_string(v);
    return std::u16string(digits.begin(), digits.end());
}

// The card's title: the script comment's title, except that a masked key
// operation keeps its keys to itself (the editor's card does the same).
std::u16string card_title(const OperationRecord& r) {
    if (r.masked && r.category == kCategoryKey) {
        const char16_t* label = operation_label(r.code);
        return label ? label : u"";
    }
    return operation_title(r);
}

bool png_size(const std::vector<uint8_t>& data, int32_t* width, int32_t* height) {
    static const uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    *width = *height = 0;
    if (data.size() < 24 || std::memcmp(data.data(), kSignature, 8) != 0 || std::memcmp(&data[12], "IHDR", 4) != 0)
        return false;
    auto be32 = [&](size_t at) {
        return uint32_t(data[at]) << 24 | uint32_t(data[at + 1]) << 16 | uint32_t(data[at + 2]) << 8 | data[at + 3];
    };
    uint32_t w = be32(16), h = be32(20);
    if (w == 0 || h == 0 || w > 0x7FFFFFFF || h > 0x7FFFFFFF) return false;
    *width = int32_t(w);
    *height = int32_t(h);
    return true;
}

// Copies the screenshots the cards show from the image store into the
// manual's folder, each offset once per manual: a file left by an earlier
// manual may show another image now that the store has been compacted.
class ImageCopier {
public:
    ImageCopier(const std::u16string& store, const std::u16string& folder) : folder_(folder) {
        store_ = zv::file_open(store.c_str(), zv::FileMode::kRead);
        if (store_ && !zv::file_size(store_, &store_size_)) store_size_ = 0;
    }
    ~ImageCopier() {
        if (store_) zv::file_close(store_);
    }
    ImageCopier(const ImageCopier&) = delete;
    ImageCopier& operator=(const ImageCopier&) = delete;

    // The screenshot of r as its card shows it; false only when it could
    // not be written.
    bool image_of(const OperationRecord& r, CardImage* image, uint32_t* error) {
        *image = CardImage{false, r.image_offset, 0, 0};
        if (r.image_size == 0 || r.masked || !store_) return true;
        auto done = done_.find(r.image_offset);
        if (done != done_.end()) {
            *image = done->second;
            return true;
        }
        CardImage& copied = done_[r.image_offset];
        copied = *image;
        if (uint64_t(r.image_offset) + r.image_size > store_size_ || !zv::file_seek(store_, r.image_offset))
            return true;  // points outside the store
        std::u16string path = path_join(folder_, number_text(r.image_offset) + u".png");
        zv::File* out = zv::file_open(path.c_str(), zv::FileMode::kCreate);
        if (!out) return fail(error, path);
        // In pieces: a record's size is whatever its file says.
        bool read = true, written = true;
        for (uint32_t left = r.image_size; left > 0 && read && written;) {
            size_t part = left < kCopyChunk ? left : kCopyChunk, got = 0;
            buffer_.resize(part);
            read = zv::file_read(store_, buffer_.data(), part, &got) && got == part;
            if (read && left == r.image_size) png_size(buffer_, &copied.width, &copied.height);
            written = read && zv::file_write(out, buffer_.data(), part);
            left -= uint32_t(part);
        }
        if (!zv::file_close(out) || !written) {
            if (!read) {
                zv::remove_file(path.c_str());  // the store changed under us: no picture
                copied.width = copied.height = 0;
                return true;
            }
            return fail(error, path);
        }
        copied.present = true;
        *image = copied;
        return true;
    }

private:
    static bool fail(uint32_t* error, const std::u16string& path) {
        *error = zv::fs_last_error();
        if (!*error) *error = kErrorWriteFailed;
        zv::remove_file(path.c_str());  // no half image for the next manual to show
        return false;
    }

    std::u16string folder_;
    zv::File* store_ = nullptr;
    uint64_t store_size_ = 0;
    std::unordered_map<uint32_t, CardImage> done_;
    std::vector<uint8_t> buffer_;
};

bool write_file(const std::u16string& path, std::string_view bytes, uint32_t* error) {
    zv::File* f = zv::file_open(path.c_str(), zv::FileMode::kCreate);
    bool ok = f && zv::file_write(f, bytes.data(), bytes.size());
    if (f && !zv::file_close(f)) ok = false;
    if (!ok) *error = zv::fs_last_error() ? zv::fs_last_error() : kErrorWriteFailed;
    return ok;
}

}  // namespace

BoxFit box_fit(const OperationRecord& r) {
    const Rect32& f = r.desktop ? r.desktop_rect : r.window_rect;
    int64_t w = extent(f.left, f.right), h = extent(f.top, f.bottom);
    BoxFit fit = {};
    int64_t longer = w > h ? w : h;
    if (longer > 0) fit.scale = float(kManualBox) / float(longer);
    fit.width = px(float(w) * fit.scale);
    fit.height = px(float(h) * fit.scale);
    fit.left = (kManualBox - fit.width) / 2;
    fit.top = (kManualBox - fit.height) / 2;
    return fit;
}

std::string manual_image_block(const OperationRecord& r, const std::u16string& name, const CardImage& image) {
    std::string folder;
    html_append_url_segment(folder, name);
    const BoxFit fit = box_fit(r);
    const float k = fit.scale;
    std::string out = "\t<div class=\"image\">\r\n";
    if (image.present) {
        std::string src = folder + "/" + std::to_string(image.offset) + ".png";
        const Rect32& win = r.window_rect;
        const Rect32& desk = r.desktop_rect;
        int64_t win_w = extent(win.left, win.right), win_h = extent(win.top, win.bottom);
        if (r.desktop && !same_rect(win, desk) && image.width > 0 && image.width == win_w && image.height == win_h) {
            // A window's screenshot inside the desktop's box.
            placed_line(out, src, fit, float(win_w) * k, float(win_h) * k, px(float(win.left) * k) + fit.left,
                        px(float(win.top) * k) + fit.top);
        } else if (!r.desktop && image.width > 0 && image.width == extent(desk.left, desk.right) &&
                   image.height == extent(desk.top, desk.bottom)) {
            // A whole-screen capture, shifted so that the window fills the box.
            placed_line(out, src, fit, float(image.width) * k, float(image.height) * k,
                        fit.left - px(float(win.left) * k), fit.top - px(float(win.top) * k));
        } else if (fit.height < fit.width) {
            html_appendf(out, "\t\t<img src=\"%s\" class=\"normal_img\" style=\"width:%dpx; height:auto;\"/>\r\n",
                         src.c_str(), kManualBox);
        } else {
            html_appendf(out, "\t\t<img src=\"%s\" class=\"normal_img\" style=\"width:auto; height:%dpx;\"/>\r\n",
                         src.c_str(), kManualBox);
        }
    }
    if (r.category == kCategoryMouse && !is_wheel(r.code)) {
        const Point32& p = r.desktop ? r.mouse_pos : r.mouse_rel;
        int32_t x = px(float(p.x) * k), y = px(float(p.y) * k);
        // Only a point inside the reference rectangle: anything else would
        // mark a spot the picture does not show.
        if (p.x >= 0 && p.y >= 0 && x < fit.width && y < fit.height)
            html_appendf(out,
                         "\t\t<img src=\"%s/point.svg\" class=\"normal_img\" style=\"width:30px; height:30px; "
                         "left:%dpx; top:%dpx;\"/>\r\n",
                         folder.c_str(), fit.left + x, y + fit.top);
    }
    out += "\t</div>\r\n";
    return out;
}

std::string manual_card(const OperationRecord& r, int number, const std::u16string& name, const CardImage& image) {
    std::string card = r.disabled ? "<div class=\"item disable\">\r\n" : "<div class=\"item\">\r\n";
    card += manual_image_block(r, name, image);
    card += "\t<div class=\"text\">\r\n\t\t<div class=\"title\">";
    html_appendf(card, "%d. ", number);
    html_append(card, card_title(r));
    card += "</div>\r\n\t\t<hr/>\r\n";
    OperationDetails details = operation_details(r);
    const std::u16string lines[] = {details.line1, details.line2, operation_interval_text(r),
                                    operation_flags_text(r)};
    for (const std::u16string& line : lines) {
        if (line.empty()) continue;
        card += "\t\t<div class=\"detail\">";
        html_append(card, line);
        card += "</div>\r\n";
    }
    card += "\t</div>\r\n</div>\r\n";
    return card;
}

bool manual_write(const std::u16string& folder, const std::u16string& name, const OperationRecord* head,
                  const std::u16string& image_store, std::string_view head_template, std::string_view marker,
                  uint32_t* error) {
    uint32_t ignored = 0;
    if (!error) error = &ignored;
    std::u16string images = path_join(folder, name);
    if (!(zv::path_kind(images.c_str()) & zv::kPathFolder) && !zv::make_folder(images.c_str())) {
        *error = zv::fs_last_error();
        return false;
    }
    if (!write_file(path_join(images, u"point.svg"), marker, error)) return false;

    AtomicFile page;
    if (!page.open(path_join(folder, name + u".html"))) {
        *error = page.error();
        return false;
    }
    // The head with the escaped name after each "<title>".
    const std::string title = html_escape(name);
    const std::string_view kTitle = "<title>";
    std::string text;
    for (size_t at = 0; at < head_template.size();) {
        size_t found = head_template.find(kTitle, at);
        size_t end = found == std::string_view::npos ? head_template.size() : found + kTitle.size();
        text.append(head_template.substr(at, end - at));
        if (found != std::string_view::npos) text += title;
        at = end;
    }
    bool ok = page.write(text.data(), text.size());

    ImageCopier copier(image_store, images);
    int number = 1;
    for (const OperationRecord* r = head ? head->next : nullptr; r && ok; r = r->next, ++number) {
        CardImage image;
        if (!copier.image_of(*r, &image, error)) return false;
        std::string card = manual_card(*r, number, name, image);
        ok = page.write(card.data(), card.size());
    }
    static const char kEnd[] = "</body></html>";
    if (!ok || !page.write(kEnd, sizeof kEnd - 1) || !page.commit()) {
        *error = page.error();
        return false;
    }
    return true;
}

}  // namespace zvb
