// Benchmarks of the recorder's data layer, in three sizes each so that the
// growth shows:
//   store    - a data folder of N scenarios in N/20 groups: the first load
//              (no list files: built from the folders), saving every list,
//              a re-synchronisation, and a load from the list files;
//   compact  - saving a timeline whose image store holds M screenshots of
//              200 KB (shared by three operations each, with one unused
//              image between used ones): time and the growth of the peak
//              working set during the save.
// Usage: recorder_bench [store|compact] [work folder]   (default: both,
// the temporary folder). Prints one line per size; store times are the best
// of three rounds.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "operation_file.h"
#include "store.h"
#include "timeline.h"

#ifdef _WIN32
#include <windows.h>
#include <psapi.h>
#else
#include <sys/resource.h>
#endif

namespace fs = std::filesystem;

namespace {

double now_ms() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

// Peak working set of the process in KB.
size_t peak_kb() {
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS pmc = {};
    GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc);
    return pmc.PeakWorkingSetSize / 1024;
#else
    struct rusage ru;
    getrusage(RUSAGE_SELF, &ru);
    return size_t(ru.ru_maxrss);
#endif
}

void put(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }

void bench_store(const fs::path& work) {
    std::printf("store: entries groups | first load | save all lists | resync | load from lists  (ms)\n");
    for (int n : {2500, 5000, 10000}) {
        fs::path user = work / ("store_" + std::to_string(n));
        fs::remove_all(user);
        fs::create_directories(user / "data");
        int groups = n / 20;
        for (int g = 0; g < groups; ++g) {
            fs::path folder = user / "data" / ("Group " + std::to_string(g));
            fs::create_directories(folder);
            for (int i = 0; i < 19; ++i) {
                std::string name = "Scenario " + std::to_string(g) + "-" + std::to_string(i);
                put(folder / (name + (i % 4 == 3 ? ".ksc" : ".zv")), "");
                if (i % 2 == 0) put(folder / (name + (i % 4 == 3 ? ".ksc.ini" : ".zv.ini")), "[OPTION]\r\nloop_count=2\r\n");
            }
        }
        // Best of three: the machine may be busy.
        double best[4] = {1e30, 1e30, 1e30, 1e30};
        size_t count = 0;
        zvb::Store store;
        zvb::Message error;
        zvb::store_open(&store, user.u16string(), &error);
        for (int rep = 0; rep < 3; ++rep) {
            for (const auto& e : fs::recursive_directory_iterator(user))
                if (e.path().extension() == ".lst") fs::remove(e.path());
            double t[5];
            t[0] = now_ms();
            zvb::store_load(&store);
            t[1] = now_ms();
            zvb::store_save(&store);
            t[2] = now_ms();
            zvb::store_resync(&store);
            t[3] = now_ms();
            zvb::store_load(&store);
            t[4] = now_ms();
            for (int i = 0; i < 4; ++i) best[i] = std::min(best[i], t[i + 1] - t[i]);
        }
        zvb::tree_walk(store.root, [](zvb::ScenarioEntry*, int, void* c) { return ++*static_cast<size_t*>(c), true; },
                       &count);
        std::printf("store: %6zu %6d | %10.0f | %14.0f | %6.0f | %15.0f\n", count, groups, best[0], best[1], best[2],
                    best[3]);
        zvb::store_close(&store);
        fs::remove_all(user);
    }
}

void bench_compact(const fs::path& work) {
    std::printf("compact: images  MB | save ms | MB/s | peak working set growth KB\n");
    const size_t kImage = 200 * 1024;
    std::string image(kImage, '\0');
    for (size_t i = 0; i < kImage; ++i) image[i] = char(i * 2654435761u >> 24);
    for (int m : {250, 500, 1000}) {
        fs::path dir = work / ("compact_" + std::to_string(m));
        fs::remove_all(dir);
        fs::create_directories(dir);
        fs::path zv = dir / "t.zv";
        {
            std::ofstream store(dir / "t.zv.img", std::ios::binary);
            for (int i = 0; i < m; ++i) store.write(image.data(), std::streamsize(image.size()));
        }
        zvb::OperationRecord* head = zvb::timeline_new();
        zvb::OperationRecord* last = head;
        for (int i = 0; i < m; i += 2)
            for (int k = 0; k < 3; ++k) {  // three operations share each used image
                zvb::OperationRecord* r = zvb::record_new();
                r->image_offset = uint32_t(i * kImage);
                r->image_size = uint32_t(kImage);
                zvb::timeline_insert_after(last, r);
                last = r;
            }
        size_t before = peak_kb();
        uint32_t error = 0;
        double t0 = now_ms();
        bool ok = zvb::timeline_save(zv.u16string().c_str(), head, true, &error);
        double t1 = now_ms();
        double mb = double(m) * kImage / 1048576.0;
        std::printf("compact: %6d %4.0f | %7.0f | %4.0f | %zu%s\n", m, mb, t1 - t0, mb / 2 / ((t1 - t0) / 1000),
                    peak_kb() - before, ok ? "" : " (save failed)");
        zvb::timeline_free(head);
        fs::remove_all(dir);
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::string what = argc > 1 ? argv[1] : "";
    fs::path work = argc > 2 ? fs::path(argv[2]) : fs::temp_directory_path() / "zvb_bench";
    fs::create_directories(work);
    // Compaction first: its peak working set must not hide under the store's.
    if (what.empty() || what == "compact") bench_compact(work);
    if (what.empty() || what == "store") bench_store(work);
    fs::remove_all(work);
    return 0;
}
