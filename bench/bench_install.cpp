// Times each launch action as a player presses it, on the full-size package archive, against a
// minimal zlib loop, unzip and bsdtar (a fresh install), and rsync and cp re-syncing an extracted
// copy (a re-launch). Not a test: it prints numbers, and a last machine-readable "ratios:" line.
//
//   cmake --build build/native --target bench_install && build/native/bench/bench_install [--runs N] [--work-dir DIR]
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <fstream>
#include <span>
#include <string>
#include <vector>

#include "bench/child_run.h"
#include "bench/mapped_file.h"
#include "bench/zip_listing.h"
#include "bench/zlib_loop.h"
#include "patch/file_workers.h"
#include "patch/game_patcher.h"
#include "patch/game_state.h"
#include "platform/resource.h"

namespace fs = std::filesystem;

namespace {

struct Phase {
  const char* name;
  const char* key;  // in the ratios line; empty for phases it leaves out
  std::vector<bench::Measurement> runs;
};

struct Options {
  int runs = 5;
  fs::path workDir = fs::temp_directory_path();
  std::string only;  // one phase, run once in this process, for profilers
};

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--runs" && i + 1 < argc) {
      options.runs = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--work-dir" && i + 1 < argc) {
      options.workDir = argv[++i];
    } else if (arg == "--only" && i + 1 < argc) {
      options.only = argv[++i];
    } else {
      std::fprintf(stderr, "usage: %s [--runs N] [--work-dir DIR] [--only loop|loop64|loop256|empty|first|patched-again|official-again]\n", argv[0]);
      return false;
    }
  }
  return true;
}

// A game directory as the tool finds it: the launcher, and optionally the official package files
// (same sizes as the archive's, other bytes), which the first install then backs up.
void MakeGameTree(const fs::path& root, const std::vector<bench::ZipItem>& items, bool withOfficialFiles) {
  fs::remove_all(root);
  fs::create_directories(root / "TCLS");
  std::ofstream(root / "TCLS" / "Launcher.exe") << "launcher";
  if (!withOfficialFiles) return;
  std::vector<char> filler(1 << 20);
  for (size_t i = 0; i < filler.size(); ++i) filler[i] = static_cast<char>((i * 131) ^ (i >> 9));
  for (const bench::ZipItem& item : items) {
    if (item.directory) continue;
    const fs::path file = root / item.name;
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    for (uint32_t left = item.uncompressedSize; left > 0;) {
      const uint32_t piece = std::min<uint32_t>(left, static_cast<uint32_t>(filler.size()));
      out.write(filler.data(), piece);
      left -= piece;
    }
  }
}

std::u16string GameDirectory(const fs::path& root) { return root.u16string(); }

using Operation = bool (GamePatcher::*)();

// One press of a launch button: its two operations, the second only after the first succeeded.
// Workers 0: as many as the tool takes on this machine.
bool Press(const fs::path& root, Operation first, Operation second, uint32_t workers = 0) {
  GamePatcher patcher(GameDirectory(root), workers);
  return (patcher.*first)() && (second == nullptr || (patcher.*second)());
}

bool Install(const fs::path& root, uint32_t workers = 0) {
  return Press(root, &GamePatcher::InstallPackages, nullptr, workers);
}
bool Patched(const fs::path& root, uint32_t workers = 0) {
  return Press(root, &GamePatcher::InstallPackages, &GamePatcher::InstallPatchedData, workers);
}
bool Official(const fs::path& root, uint32_t workers = 0) {
  return Press(root, &GamePatcher::RestorePackages, &GamePatcher::InstallStockData, workers);
}
bool Summoner(const fs::path& root) { return Press(root, &GamePatcher::InstallPackages, &GamePatcher::InstallStockData); }

// What the dialog's reader does after a press: every package file, backup and data file looked at.
bool ReadState(const fs::path& root, patch::GameVersion expected) {
  const GamePatcher patcher(GameDirectory(root));
  const std::atomic<bool> stop{false};
  const std::optional<patch::GameState> state =
      patch::ReadGameState({patcher.GameDirectory(), patcher.PackageBytes(), patcher.PatchedDataBytes(),
                            patcher.StockDataBytes(), patch::DefaultWorkerCount()},
                           stop);
  return state && state->version == expected;
}

// The page cache emptied, so that a read goes to the disk as after a reboot; false where the
// system does not allow it (not root, a container).
bool DropCaches() {
  ::sync();
  std::ofstream drop("/proc/sys/vm/drop_caches");
  drop << "3\n";
  drop.flush();
  return static_cast<bool>(drop);
}

// A separate function, so that a profiler can collect this press alone
// (valgrind --tool=callgrind --collect-atstart=no --toggle-collect=PressedAgain).
[[gnu::noinline]] bool PressedAgain(const fs::path& root, bool (*press)(const fs::path&, uint32_t)) {
  return press(root, 0);
}

// Dirty pages of one phase must not be written back on the next phase's clock.
bench::Measurement Settled(bench::Measurement m) {
  ::sync();
  return m;
}

// Other work on the machine stretches wall times; the load average says how much to trust them.
std::string LoadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string one, five, fifteen;
  in >> one >> five >> fifteen;
  return one + " " + five + " " + fifteen;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// One phase, once, in this process, so that a profiler sees only the tool's own work besides the
// preparation of the tree.
int RunOnly(const std::string& phase, std::span<const uint8_t> archive, const std::vector<bench::ZipItem>& items,
            const fs::path& dir) {
  fs::create_directories(dir);
  bool ok = false;
  if (phase == "loop" || phase == "loop64" || phase == "loop256") {
    const size_t inflateBytes = phase == "loop" ? 1 : phase == "loop64" ? 4 : 16;
    ok = bench::ExtractWithZlibLoop(archive, items, dir.string(), inflateBytes * bench::kPieceBytes);
  } else if (phase == "empty") {
    MakeGameTree(dir, items, false);
    ok = Install(dir);
  } else if (phase == "first") {
    MakeGameTree(dir, items, true);
    ok = Patched(dir);
  } else if (phase == "patched-again" || phase == "official-again") {
    MakeGameTree(dir, items, true);
    const auto press = phase == "patched-again" ? Patched : Official;
    ok = Patched(dir) && press(dir, 0) && PressedAgain(dir, press);
  } else {
    std::fprintf(stderr, "unknown phase %s\n", phase.c_str());
    return 2;
  }
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) return 2;

  const std::string archivePath = MORVELT_BENCH_ARCHIVE;
  const bench::MappedFile archive(archivePath);
  const auto items = archive.valid() ? bench::ListZip(archive.bytes()) : std::nullopt;
  if (!items) {
    std::fprintf(stderr, "cannot read %s\n", archivePath.c_str());
    return 1;
  }
  const auto embedded = platform::FindResourceBytes(u"ZIP", kPackageArchiveId, platform::kLangChineseSimplified);
  if (embedded.size() != archive.bytes().size()) {
    std::fprintf(stderr, "the embedded package archive is not %s\n", archivePath.c_str());
    return 1;
  }
  uint64_t unpacked = 0;
  for (const auto& item : *items) unpacked += item.uncompressedSize;

  std::string work = (options.workDir / "morvelt-bench-XXXXXX").string();
  if (::mkdtemp(work.data()) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  const fs::path dir = fs::path(work) / "tree";
  if (!options.only.empty()) {
    const int status = RunOnly(options.only, archive.bytes(), *items, dir);
    fs::remove_all(work);
    return status;
  }

  Phase loop{"zlib loop, 16 KiB inflate (baseline)", "", {}};
  Phase loop64{"zlib loop, 64 KiB inflate, 16 KiB writes", "", {}};
  Phase loopWide{"zlib loop, 256 KiB inflate, 16 KiB writes", "", {}};
  Phase unzip{"unzip -o -q", "unzip", {}};
  Phase bsdtar{"bsdtar -xf", "bsdtar", {}};
  Phase cold{"fresh install (InstallPackages, no game files)", "cold", {}};
  Phase first{"patched, first over official files", "first", {}};
  // The same two presses with one worker, as before the workers came: the gain in one run.
  Phase coldOne{"fresh install, one worker", "", {}};
  Phase firstOne{"patched, first over official files, one worker", "", {}};
  Phase patchedAgain{"patched again", "patched-again", {}};
  Phase toOfficial{"patched to official", "to-official", {}};
  Phase officialAgain{"official again", "official-again", {}};
  Phase toPatched{"official to patched", "to-patched", {}};
  Phase summonerAgain{"summoner again", "summoner-again", {}};
  Phase statePatched{"state read, patched", "state-patched", {}};
  Phase stateOfficial{"state read, official", "state-official", {}};
  Phase stateSummoner{"state read, summoner", "state-summoner", {}};
  Phase statePatchedCold{"state read, patched, caches dropped", "state-patched-cold", {}};
  Phase stateOfficialCold{"state read, official, caches dropped", "state-official-cold", {}};
  Phase stateSummonerCold{"state read, summoner, caches dropped", "state-summoner-cold", {}};
  Phase rsync{"rsync -a, identical copy", "rsync", {}};
  Phase rsyncChecksum{"rsync -a --checksum, identical copy", "rsync-checksum", {}};
  Phase cp{"cp -r of the extracted tree", "cp", {}};
  std::vector<Phase*> phases = {&loop,  &loop64,        &loopWide,   &unzip,         &bsdtar,
                                      &cold,  &coldOne,       &first,      &firstOne,
                                      &patchedAgain, &toOfficial, &officialAgain,
                                      &toPatched, &summonerAgain, &rsync,    &rsyncChecksum, &cp,
                                      &statePatched, &stateOfficial, &stateSummoner};
  std::vector<Phase*> coldPhases = {&statePatchedCold, &stateOfficialCold, &stateSummonerCold};

  std::printf("Package archive: %s\n", archivePath.c_str());
  std::printf("  %.1f MB, %zu entries, %.1f MB unpacked; %d runs in %s\n", static_cast<double>(archive.bytes().size()) / 1e6,
              items->size(), static_cast<double>(unpacked) / 1e6, options.runs, work.c_str());
  const std::string loadBefore = LoadAverage();
  bool allOk = true;
  const fs::path source = fs::path(work) / "extracted";
  const fs::path copy = fs::path(work) / "copy";
  const fs::path floor = fs::path(work) / "floor";
  const auto measure = [](Phase& phase, const std::function<bool()>& press) {
    phase.runs.push_back(Settled(bench::RunInChild(press)));
  };
  const auto program = [](Phase& phase, const std::vector<std::string>& command) {
    phase.runs.push_back(Settled(bench::RunProgram(command)));
  };
  for (int run = 0; run < options.runs; ++run) {
    std::printf("  run %d/%d...\n", run + 1, options.runs);
    std::fflush(stdout);
    auto fresh = [&] {
      fs::remove_all(dir);
      fs::create_directories(dir);
      ::sync();
    };
    fresh();
    measure(loop, [&] { return bench::ExtractWithZlibLoop(archive.bytes(), *items, dir.string(), bench::kPieceBytes); });
    fresh();
    measure(loop64, [&] { return bench::ExtractWithZlibLoop(archive.bytes(), *items, dir.string(), 4 * bench::kPieceBytes); });
    fresh();
    measure(loopWide, [&] { return bench::ExtractWithZlibLoop(archive.bytes(), *items, dir.string(), 16 * bench::kPieceBytes); });
    fresh();
    program(unzip, {"unzip", "-o", "-q", archivePath, "-d", dir.string()});
    fresh();
    program(bsdtar, {"bsdtar", "-xf", archivePath, "-C", dir.string()});

    MakeGameTree(dir, *items, false);
    ::sync();
    measure(cold, [&] { return Install(dir); });
    MakeGameTree(dir, *items, false);
    ::sync();
    measure(coldOne, [&] { return Install(dir, 1); });
    MakeGameTree(dir, *items, true);
    ::sync();
    measure(firstOne, [&] { return Patched(dir, 1); });

    // The launch buttons in the order a player might press them, over one game tree.
    MakeGameTree(dir, *items, true);
    ::sync();
    measure(first, [&] { return Patched(dir); });
    measure(statePatched, [&] { return ReadState(dir, patch::GameVersion::kPatched); });
    measure(patchedAgain, [&] { return Patched(dir); });
    measure(toOfficial, [&] { return Official(dir); });
    measure(stateOfficial, [&] { return ReadState(dir, patch::GameVersion::kOfficial); });
    measure(officialAgain, [&] { return Official(dir); });
    measure(toPatched, [&] { return Patched(dir); });
    if (!bench::RunInChild([&] { return Summoner(dir); }).ok) std::fprintf(stderr, "summoner press failed\n");
    ::sync();
    measure(summonerAgain, [&] { return Summoner(dir); });
    measure(stateSummoner, [&] { return ReadState(dir, patch::GameVersion::kSummoner); });

    // The anchors for a re-launch: re-syncing an identical copy of the extracted packages.
    fs::remove_all(source);
    fs::remove_all(copy);
    fs::create_directories(source);
    bench::RunProgram({"bsdtar", "-xf", archivePath, "-C", source.string()});
    bench::RunProgram({"cp", "-a", source.string(), copy.string()});
    ::sync();
    program(rsync, {"rsync", "-a", source.string() + "/", copy.string() + "/"});
    program(rsyncChecksum, {"rsync", "-a", "--checksum", source.string() + "/", copy.string() + "/"});
    fs::remove_all(floor);
    ::sync();
    program(cp, {"cp", "-r", source.string(), floor.string()});
  }
  // The reader after a reboot, in a pass of its own: a dropped cache would slow the phases above.
  bool canDrop = DropCaches();
  for (int run = 0; canDrop && run < options.runs; ++run) {
    MakeGameTree(dir, *items, true);
    const std::pair<bool (*)(const fs::path&, uint32_t), std::pair<Phase*, patch::GameVersion>> states[] = {
        {Patched, {&statePatchedCold, patch::GameVersion::kPatched}},
        {Official, {&stateOfficialCold, patch::GameVersion::kOfficial}},
        {[](const fs::path& root, uint32_t) { return Summoner(root); }, {&stateSummonerCold, patch::GameVersion::kSummoner}},
    };
    for (const auto& [press, read] : states) {
      allOk = press(dir, 0) && allOk;
      canDrop = DropCaches();
      if (!canDrop) break;
      measure(*read.first, [&, version = read.second] { return ReadState(dir, version); });
    }
  }
  fs::remove_all(work);

  std::vector<double> loopTimes;
  std::vector<double> loopCpu;
  for (const auto& m : loop.runs) {
    loopTimes.push_back(m.seconds);
    loopCpu.push_back(m.cpuSeconds);
  }
  const double baseline = Median(loopTimes);
  const double baselineCpu = Median(loopCpu);

  std::printf("\n%-46s %8s %7s %6s %7s %7s %6s %9s\n", "phase", "median s", "min s", "ratio", "MB/s", "cpu s",
              "ratio", "peak RSS");
  std::string ratios = "ratios:";
  std::map<std::string, double> ratioOf;
  if (canDrop) phases.insert(phases.end(), coldPhases.begin(), coldPhases.end());
  for (const Phase* phase : phases) {
    std::vector<double> times;
    std::vector<double> cpu;
    long peak = 0;
    bool ok = true;
    for (const auto& m : phase->runs) {
      times.push_back(m.seconds);
      cpu.push_back(m.cpuSeconds);
      peak = std::max(peak, m.peakRssKiB);
      ok = ok && m.ok;
    }
    const double median = Median(times);
    std::printf("%-46s %8.3f %7.3f %6.2f %7.1f %7.3f %6.2f %5.1f MiB%s\n", phase->name, median,
                *std::min_element(times.begin(), times.end()), median / baseline,
                static_cast<double>(unpacked) / 1e6 / median, Median(cpu), Median(cpu) / baselineCpu,
                static_cast<double>(peak) / 1024.0, ok ? "" : "  FAILED");
    ratioOf[phase->key] = median / baseline;
    allOk = allOk && ok;
  }
  // Keys in a fixed order that scripts may rely on.
  for (const char* key : {"cold", "bsdtar", "unzip", "first", "patched-again", "to-official", "official-again",
                          "to-patched", "summoner-again", "rsync", "rsync-checksum", "cp", "state-patched",
                          "state-official", "state-summoner"}) {
    char value[48];
    std::snprintf(value, sizeof value, " %s=%.3f", key, ratioOf[key]);
    ratios += value;
  }
  // Only where the page cache could be dropped.
  for (const char* key : {"state-patched-cold", "state-official-cold", "state-summoner-cold"}) {
    if (!canDrop) break;
    char value[48];
    std::snprintf(value, sizeof value, " %s=%.3f", key, ratioOf[key]);
    ratios += value;
  }
  std::printf("Wall: median and fastest time from fork to exit, its ratio to the baseline loop (lower is\n"
              "faster), unpacked MB per second. CPU: median user + system time of the child and its ratio.\n"
              "The CPU figures hold up when other work shares the machine; load average %s -> %s.\n"
              "Peak RSS: the largest ru_maxrss of the runs, counting the archive pages touched: mapped for the\n"
              "loops and the patcher (the executable's own data), read through buffers by unzip and bsdtar.\n",
              loadBefore.c_str(), LoadAverage().c_str());
  std::printf("The presses run in this order over one tree that starts with official files; summoner once,\n"
              "unmeasured, before summoner again. rsync and cp work on a tree bsdtar extracted.\n");
  std::printf("%s\n", ratios.c_str());
  return allOk ? 0 : 1;
}
