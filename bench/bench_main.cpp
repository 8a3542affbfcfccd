// tessora-bench: how close the update, read-out and clear come to what the hardware
// allows. Each procedure runs on a timing board over each interface: on a virtual clock
// (deterministic; also with a Windows system timer modelled), and as the shipped
// program in real time. Both are set against the hardware bound: the fewest bus
// transactions the procedure needs, each carried by the fewest USB requests, perfectly
// timed; and beside it against the program's own requests on the protocol's schedule.
// Then the update on a bench of eight timing boards at once (--all), and --update-changed on
// a board that holds the image, against the update on one board. Then the station
// (--station): eight boards plugged in at once against one, how soon a board plugged in
// gets its first request, and the CPU time of a station that waits.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/hardware_bound.h"
#include "bench/ideal_host.h"
#include "bench/program_run.h"
#include "bench/station_run.h"
#include "bench/virtual_run.h"
#include "engine/settings.h"

namespace tessora::bench {

namespace {

struct Options {
  int runs = 3;
  std::string json;
  std::string program = TESSORA_PROGRAM_PATH;
};

struct Row {
  BenchCase bench;
  HardwareBound hardware;
  double bound = 0;     // the hardware bound, seconds
  double schedule = 0;  // the program's requests on the protocol's schedule
  std::uint64_t requests = 0;  // the USB requests the program sent
  double virtualTime = 0;
  double windowsDefault = 0;
  double windowsRaised = 0;
  double workCpu = 0;  // the virtual run's CPU time, the simulated board's left out
  double probe = 0;  // the update's part-size probe, with the protocol's pauses
  ProgramResult program;
  bool succeeded = false;
};

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    std::string option = argv[i];
    bool hasValue = i + 1 < argc;
    if (option == "--runs" && hasValue) {
      options.runs = std::atoi(argv[++i]);
      if (options.runs < 0 || options.runs > 99) return false;
    } else if (option == "--json" && hasValue) {
      options.json = argv[++i];
    } else if (option == "--program" && hasValue) {
      options.program = argv[++i];
    } else {
      return false;
    }
  }
  return true;
}

double Seconds(std::uint64_t microseconds) { return static_cast<double>(microseconds) / 1e6; }

// The program's CPU time without the simulated boards'.
double OwnCpu(const ProgramResult& result) { return result.cpuSeconds - result.boardCpuSeconds; }

// What the procedure's bound is computed from: the image an update writes, the part a
// clear blanks, the image the board holds for a read-out and for --update-changed.
std::vector<std::uint8_t> BoardContents(Procedure procedure) {
  return procedure == Procedure::Clear ? std::vector<std::uint8_t>(MaxEepromSize, 0xFF) : FullImage();
}

// The update's part-size probe: the one-byte write at the highest power of two below the
// image's end (0x2000 for the whole EEPROM) and the one-byte read of byte 0 after it, the
// only one-byte requests of the update of a whole EEPROM.
std::vector<std::string> ProbeLines(const std::vector<std::string>& trace) {
  std::vector<std::string> probe;
  for (const std::string& line : trace)
    if (line.find("bus-write dev=51 sub=2000 len=1 ") != std::string::npos ||
        line.find("bus-read dev=51 sub=0000 len=1 ") != std::string::npos)
      probe.push_back(line);
  return probe;
}

Row Measure(const BenchCase& bench, const sim::BoardConfig& timing, const Options& options,
            const std::string& work) {
  Row row;
  row.bench = bench;
  VirtualResult exact = RunOnVirtualClock(bench, timing, HostTimer::Exact, work);
  VirtualResult coarse = RunOnVirtualClock(bench, timing, HostTimer::WindowsDefault, work);
  VirtualResult raised = RunOnVirtualClock(bench, timing, HostTimer::WindowsRaised, work);
  row.virtualTime = Seconds(exact.microseconds);
  row.windowsDefault = Seconds(coarse.microseconds);
  row.windowsRaised = Seconds(raised.microseconds);
  row.workCpu = exact.cpuSeconds - exact.boardCpuSeconds;
  row.hardware = BoundFor(bench, BoardContents(bench.procedure), timing);
  row.bound = Seconds(row.hardware.microseconds);
  row.schedule = Seconds(ScheduleMicroseconds(exact.trace, timing));
  row.requests = exact.requests;
  if (bench.procedure == Procedure::Update) row.probe = Seconds(ScheduleMicroseconds(ProbeLines(exact.trace), timing));
  row.succeeded = exact.succeeded && coarse.succeeded && raised.succeeded;
  if (options.runs > 0) {
    row.program = RunProgram(options.program, bench, timing, options.runs, work);
    row.succeeded = row.succeeded && row.program.succeeded;
  }
  return row;
}

void PrintTable(const std::vector<Row>& rows, const sim::BoardConfig& timing, int runs) {
  std::printf("Timing board: latency %u us, write cycle %u us, bus %u kHz, page %u bytes; 16384-byte EEPROM.\n",
              timing.latencyUs, timing.writeCycleUs, timing.busKhz, timing.pageSize);
  std::printf("Seconds. bound: the hardware bound, the fewest bus transactions the procedure needs, each\n"
              "carried by the fewest USB requests and perfectly timed; schedule: the program's own requests\n"
              "with the protocol's pauses; virtual: the program's procedure on the virtual clock (x bound);\n"
              "win 15.6/1ms: the same with a Windows timer left at 15.625 ms / raised to 1 ms by the\n"
              "procedure; wall: the shipped program in real time, median of %d (x bound); requests: the USB\n"
              "requests the program sent, and the bound's; cpu: the shipped program's CPU time in %% of its\n"
              "wall time; own: the same without the simulated board's (its waits, files and trace: hardware\n"
              "in the field); work: the program's own CPU time in the virtual run, in %% of its virtual time.\n\n",
              runs);
  std::printf("%-12s %-8s %8s %8s %8s %6s %9s %8s %8s %6s %8s %8s %6s %6s %6s %s\n", "interface", "proc", "bound",
              "schedule", "virtual", "x", "win 15.6", "win 1ms", "wall", "x", "requests", "fewest", "cpu%", "own%",
              "work%", "");
  for (const Row& row : rows) {
    bool ran = row.program.wallSeconds > 0;
    std::printf("%-12s %-8s %8.3f %8.3f %8.3f %6.2f %9.3f %8.3f %8.3f %6.2f %8llu %8llu %6.2f %6.2f %6.2f %s\n",
                InterfaceName(row.bench.interface), ProcedureName(row.bench.procedure), row.bound, row.schedule,
                row.virtualTime, row.virtualTime / row.bound, row.windowsDefault, row.windowsRaised,
                row.program.wallSeconds, ran ? row.program.wallSeconds / row.bound : 0.0,
                static_cast<unsigned long long>(row.requests), static_cast<unsigned long long>(row.hardware.requests),
                ran ? 100.0 * row.program.cpuSeconds / row.program.wallSeconds : 0.0,
                ran ? 100.0 * OwnCpu(row.program) / row.program.wallSeconds : 0.0, 100.0 * row.workCpu / row.virtualTime,
                row.succeeded ? "" : "FAILED");
  }
  std::printf("\nThe update's part-size probe (a one-byte write after the header's erase, a one-byte read):\n");
  for (const Row& row : rows)
    if (row.bench.procedure == Procedure::Update)
      std::printf("%-12s %8.4f s, %5.2f%% of the update's schedule\n", InterfaceName(row.bench.interface), row.probe,
                  100.0 * row.probe / row.schedule);
}

bool WriteJson(const std::vector<Row>& rows, const sim::BoardConfig& timing, const std::string& path) {
  std::FILE* out = std::fopen(path.c_str(), "w");
  if (out == nullptr) return false;
  std::fprintf(out, "{\"latency_us\": %u, \"write_cycle_us\": %u, \"bus_khz\": %u, \"page_size\": %u, \"rows\": [",
               timing.latencyUs, timing.writeCycleUs, timing.busKhz, timing.pageSize);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Row& row = rows[i];
    std::fprintf(out,
                 "%s\n  {\"interface\": \"%s\", \"procedure\": \"%s\", \"succeeded\": %s, \"bound_s\": %.6f, "
                 "\"schedule_s\": %.6f, \"requests\": %llu, \"fewest_requests\": %llu, \"virtual_s\": %.6f, "
                 "\"windows_default_timer_s\": %.6f, "
                 "\"windows_1ms_timer_s\": %.6f, \"wall_s\": %.6f, \"cpu_s\": %.6f, \"board_cpu_s\": %.6f, "
                 "\"work_cpu_s\": %.6f, \"probe_s\": %.6f}",
                 i == 0 ? "" : ",", InterfaceName(row.bench.interface), ProcedureName(row.bench.procedure),
                 row.succeeded ? "true" : "false", row.bound, row.schedule, static_cast<unsigned long long>(row.requests),
                 static_cast<unsigned long long>(row.hardware.requests), row.virtualTime, row.windowsDefault,
                 row.windowsRaised, row.program.wallSeconds, row.program.cpuSeconds, row.program.boardCpuSeconds,
                 row.workCpu, row.probe);
  }
  std::fprintf(out, "\n]}\n");
  return std::fclose(out) == 0;
}

constexpr int kBenchBoards = 8;

struct BenchRow {
  Interface interface;
  ProgramResult one;
  ProgramResult all;
  ProgramResult changed;  // --update-changed on one board that holds the image
  double changedBound = 0;  // its hardware bound: the image read once
};

void PrintBench(const std::vector<BenchRow>& rows) {
  std::printf("\nShipped program, wall seconds: the update on one board; on %d timing boards at once (--all);\n"
              "--update-changed on one board that holds the image already (%% of the update, x its bound);\n"
              "cpu and own as above:\n",
              kBenchBoards);
  std::printf("%-12s %8s %6s %8s %6s %6s %6s %8s %6s %6s %6s %s\n", "interface", "1 board", "own%", "bench", "x",
              "cpu%", "own%", "changed", "%", "x", "own%", "");
  for (const BenchRow& row : rows) {
    std::printf("%-12s %8.3f %6.2f %8.3f %6.2f %6.2f %6.2f %8.3f %6.1f %6.2f %6.2f %s\n", InterfaceName(row.interface),
                row.one.wallSeconds, 100.0 * OwnCpu(row.one) / row.one.wallSeconds, row.all.wallSeconds,
                row.all.wallSeconds / row.one.wallSeconds, 100.0 * row.all.cpuSeconds / row.all.wallSeconds,
                100.0 * OwnCpu(row.all) / row.all.wallSeconds, row.changed.wallSeconds,
                100.0 * row.changed.wallSeconds / row.one.wallSeconds, row.changed.wallSeconds / row.changedBound,
                100.0 * OwnCpu(row.changed) / row.changed.wallSeconds,
                row.one.succeeded && row.all.succeeded && row.changed.succeeded ? "" : "FAILED");
  }
}

struct StationRow {
  Interface interface;
  StationFigures one;
  StationFigures all;
};

// Long enough that the station's wake-ups to look at its stop request, five a second, add up
// to a measurable time.
constexpr double kIdleSeconds = 10;

void PrintStation(const std::vector<StationRow>& rows, double idleCpuPercent) {
  std::printf("\nStation (--station), wall seconds from plugging in to the last result line: one board; %d\n"
              "boards plugged in at once; the first request after plugging in (ms), median:\n",
              kBenchBoards);
  std::printf("%-12s %8s %8s %6s %8s %s\n", "interface", "1 board", "bench", "x", "1st ms", "");
  for (const StationRow& row : rows)
    std::printf("%-12s %8.3f %8.3f %6.2f %8.1f %s\n", InterfaceName(row.interface), row.one.seconds, row.all.seconds,
                row.all.seconds / row.one.seconds, 1000.0 * std::max(row.one.firstRequest, row.all.firstRequest),
                row.one.succeeded && row.all.succeeded ? "" : "FAILED");
  std::printf("A station waiting with no board: %.3f%% CPU over %.0f s\n", idleCpuPercent, kIdleSeconds);
}

int Run(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fprintf(stderr, "usage: tessora-bench [--runs N] [--json FILE] [--program PATH]\n");
    return 2;
  }
  std::string pattern = (std::filesystem::temp_directory_path() / "tessora-bench-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    std::fprintf(stderr, "tessora-bench: cannot make a work directory\n");
    return 1;
  }
  sim::BoardConfig timing;  // the model's defaults
  std::vector<Row> rows;
  bool allSucceeded = true;
  for (Interface interface : {Interface::Hid, Interface::FilterDriver, Interface::WinUsb}) {
    for (Procedure procedure : {Procedure::Update, Procedure::ReadOut, Procedure::Clear}) {
      rows.push_back(Measure(BenchCase{procedure, interface}, timing, options, pattern));
      allSucceeded = allSucceeded && rows.back().succeeded;
    }
  }
  std::vector<BenchRow> benchRows;
  for (Interface interface : {Interface::Hid, Interface::FilterDriver, Interface::WinUsb}) {
    if (options.runs == 0) break;
    BenchCase update{Procedure::Update, interface};
    BenchCase changed{Procedure::UpdateChanged, interface};
    BenchRow row{interface, RunProgram(options.program, update, timing, options.runs, pattern),
                 RunProgram(options.program, update, timing, options.runs, pattern, kBenchBoards),
                 RunProgram(options.program, changed, timing, options.runs, pattern),
                 Seconds(BoundFor(changed, FullImage(), timing).microseconds)};
    allSucceeded = allSucceeded && row.one.succeeded && row.all.succeeded && row.changed.succeeded;
    benchRows.push_back(row);
  }
  std::vector<StationRow> stationRows;
  for (Interface interface : {Interface::Hid, Interface::FilterDriver, Interface::WinUsb}) {
    if (options.runs == 0) break;
    StationRow row{interface, MeasureStation(options.program, interface, timing, options.runs, pattern, 1),
                   MeasureStation(options.program, interface, timing, options.runs, pattern, kBenchBoards)};
    allSucceeded = allSucceeded && row.one.succeeded && row.all.succeeded;
    stationRows.push_back(row);
  }
  double idleCpu = options.runs == 0 ? 0 : IdleStationCpuPercent(options.program, pattern, kIdleSeconds);
  allSucceeded = allSucceeded && idleCpu >= 0;
  std::filesystem::remove_all(pattern);
  PrintTable(rows, timing, options.runs);
  if (!benchRows.empty()) PrintBench(benchRows);
  if (!stationRows.empty()) PrintStation(stationRows, idleCpu);
  if (!options.json.empty() && !WriteJson(rows, timing, options.json)) {
    std::fprintf(stderr, "tessora-bench: cannot write %s\n", options.json.c_str());
    return 1;
  }
  return allSucceeded ? 0 : 1;
}

}  // namespace

}  // namespace tessora::bench

int main(int argc, char** argv) { return tessora::bench::Run(argc, argv); }
