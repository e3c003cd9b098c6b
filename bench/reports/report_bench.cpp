// Benchmark of the recorder's report pages: the statistics page over a
// large scenario tree and the HTML manual of a long timeline whose every
// operation has a screenshot of its own. Built in both trees; the figures
// that count are the Windows program's under Wine (./dev bench reports).
//
//   zvb_report_bench [entries] [operations] [image bytes] [folder]
//       defaults 10000 entries (100 groups of 100 timelines), 2000
//       operations, 40000 bytes per screenshot, the temporary folder;
//       best of 3 runs each. Both are bound by file creation and opening:
//       give a folder on a RAM disk to see the program's own share.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "file_util.h"
#include "fs.h"
#include "manual.h"
#include "report_templates.h"
#include "statistics.h"
#include "store.h"
#include "timeline.h"

namespace {

using Clock = std::chrono::steady_clock;

std::u16string u16(const std::string& s) { return std::u16string(s.begin(), s.end()); }

bool put(const std::u16string& path, const std::string& bytes) {
    zv::File* f = zv::file_open(path.c_str(), zv::FileMode::kCreate);
    bool ok = f && zv::file_write(f, bytes.data(), bytes.size());
    return f && zv::file_close(f) && ok;
}

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::u16string g_parent;  // where the benchmark's folders go

// A fresh folder for one benchmark.
std::u16string fresh_folder(const char* what) {
    std::u16string folder = zvb::path_join(g_parent, u16(what + std::string("-") + std::to_string(zv::process_id())));
    zvb::delete_path(folder, false);
    zv::make_folder(folder.c_str());
    return folder;
}

double statistics_run(int entries) {
    std::u16string user = fresh_folder("zvb_bench_stats");
    std::u16string data = zvb::path_join(user, u"data");
    zv::make_folder(data.c_str());
    uint64_t now = uint64_t(time(nullptr));
    for (int g = 0; g * 100 < entries; ++g) {
        std::u16string group = zvb::path_join(data, u16("group " + std::to_string(g)));
        zv::make_folder(group.c_str());
        for (int i = g * 100; i < entries && i < (g + 1) * 100; ++i) {
            std::u16string base = zvb::path_join(group, u16("timeline " + std::to_string(i) + ".zv"));
            put(base, "");
            put(base + u".ini", "[TIME]\r\nrecord=" + std::to_string(60000 + i) + "\r\nplay_total=" +
                                    std::to_string(40000 * (i % 7)) + "\r\nrecord_timestamp=" +
                                    std::to_string(now - 86400 * uint64_t(i % 90)) + "\r\n[PLAY]\r\nstart=" +
                                    std::to_string(i % 9) + "\r\nend=" + std::to_string(i % 7) + "\r\n");
        }
    }
    zvb::Store store;
    zvb::Message error;
    if (!zvb::store_open(&store, user, &error)) return -1;
    zvb::store_load(&store);
    std::u16string out = zvb::path_join(user, u"statistics.html");
    double best = 1e9;
    for (int run = 0; run < 3; ++run) {
        Clock::time_point start = Clock::now();
        if (!zvb::statistics_write(store.root, zvb::report_template(zvb::ReportTemplate::kStatistics), now, out,
                                   nullptr))
            return -1;
        double took = seconds_since(start);
        if (took < best) best = took;
    }
    zvb::store_close(&store);
    zvb::delete_path(user, false);
    return best;
}

// A PNG header with the given size, padded to `bytes` like a screenshot.
std::string screenshot(uint32_t width, uint32_t height, size_t bytes, int seed) {
    auto be32 = [](uint32_t v) { return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; };
    std::string png = "\x89PNG\r\n\x1A\n" + be32(13) + "IHDR" + be32(width) + be32(height);
    png.resize(bytes, char(seed));
    return png;
}

double manual_run(int operations, size_t image_bytes) {
    std::u16string work = fresh_folder("zvb_bench_manual");
    std::u16string store = zvb::path_join(work, u"t.zv.img");
    zvb::OperationRecord* head = zvb::timeline_new();
    std::string images;
    images.reserve(size_t(operations) * image_bytes);
    for (int i = 0; i < operations; ++i) {
        zvb::OperationRecord* r = zvb::record_new();
        r->size = zvb::kRecordBytes;
        r->category = i % 3 == 2 ? zvb::kCategoryKey : zvb::kCategoryMouse;
        r->code = i % 3 == 2 ? 1427 : 1324;
        r->key_code = 'A' + i % 26;
        r->interval = 250;
        r->window_rect = {100, 80, 900, 680};
        r->desktop_rect = {0, 0, 1920, 1080};
        r->mouse_rel = {400 + i % 50, 300};
        zvb::record_set_text(r->window_title, u"見積書 - 表計算");
        r->image_offset = uint32_t(images.size());
        r->image_size = uint32_t(image_bytes);
        images += screenshot(800, 600, image_bytes, i);
        zvb::timeline_append(head, r);
    }
    put(store, images);
    double best = 1e9;
    for (int run = 0; run < 3; ++run) {
        std::u16string out = zvb::path_join(work, u16("out" + std::to_string(run)));
        zv::make_folder(out.c_str());
        Clock::time_point start = Clock::now();
        if (!zvb::manual_write(out, u"月次レポート", head, store, zvb::report_template(zvb::ReportTemplate::kManualHead),
                               zvb::report_template(zvb::ReportTemplate::kMarker), nullptr))
            return -1;
        double took = seconds_since(start);
        if (took < best) best = took;
    }
    zvb::timeline_free(head);
    zvb::delete_path(work, false);
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    int entries = argc > 1 ? atoi(argv[1]) : 10000;
    int operations = argc > 2 ? atoi(argv[2]) : 2000;
    size_t image_bytes = argc > 3 ? size_t(atol(argv[3])) : 40000;
    if (argc > 4) {
        g_parent = u16(argv[4]);
    } else {
        char16_t temp[300];
        g_parent = std::u16string(temp, zv::temp_folder(temp, 300));
    }
    double stats = statistics_run(entries);
    printf("statistics page, %d entries: %.3f s\n", entries, stats);
    double manual = manual_run(operations, image_bytes);
    printf("manual, %d operations with %d screenshots of %zu bytes: %.3f s\n", operations, operations, image_bytes,
           manual);
    return stats < 0 || manual < 0 ? 1 : 0;
}
