#include "bench/hardware_bound.h"

#include <algorithm>

#include "bench/ideal_host.h"
#include "engine/eeprom_transfer.h"

namespace tessora::bench {

namespace {

constexpr std::size_t kSubaddressBytes = 2;  // a part of more than 256 bytes

sim::BusTransaction Write(std::uint32_t length) { return {false, kSubaddressBytes, length, true}; }
sim::BusTransaction Read(std::uint32_t length) { return {true, kSubaddressBytes, length, true}; }

void ReadAll(std::vector<sim::BusTransaction>& transactions, std::uint32_t size) {
  for (std::uint32_t position = 0; position < size; position += kLongestBusRead)
    transactions.push_back(Read(std::min(kLongestBusRead, size - position)));
}

void WriteAndReadBack(std::vector<sim::BusTransaction>& transactions, std::uint32_t size, std::uint32_t page) {
  for (std::uint32_t position = 0; position < size; position += page) {
    std::uint32_t length = std::min(page, size - position);
    transactions.push_back(Write(length));
    transactions.push_back(Read(length));
  }
}

// The image size the EEPROM's header gives: the two lengths at bytes 9 to 12.
std::uint32_t HeaderSize(const std::vector<std::uint8_t>& contents) {
  if (contents.size() < 13) return 0;
  std::uint32_t size = (contents[9] << 8 | contents[10]) + (contents[11] << 8 | contents[12]);
  return std::min<std::uint32_t>(size, static_cast<std::uint32_t>(contents.size()));
}

}  // namespace

std::vector<sim::BusTransaction> FewestTransactions(Procedure procedure, const std::vector<std::uint8_t>& contents,
                                                    std::uint32_t pageSize) {
  std::uint32_t size = static_cast<std::uint32_t>(contents.size());
  std::vector<sim::BusTransaction> transactions;
  switch (procedure) {
    case Procedure::Update:
      for (std::uint32_t position = 0; position < std::min(size, kHeaderBytes); position += pageSize)
        transactions.push_back(Write(std::min(pageSize, kHeaderBytes - position)));
      WriteAndReadBack(transactions, size, pageSize);
      break;
    case Procedure::Clear:
      WriteAndReadBack(transactions, size, pageSize);
      break;
    case Procedure::ReadOut:
      ReadAll(transactions, HeaderSize(contents));
      break;
    case Procedure::UpdateChanged:
      ReadAll(transactions, size);
      break;
  }
  return transactions;
}

HardwareBound BoundFor(const BenchCase& bench, const std::vector<std::uint8_t>& contents,
                       const sim::BoardConfig& timing) {
  IdealHost host(timing);
  // A write moves at most one of the part's pages, and a request at most 64 bytes.
  std::uint32_t page = std::min(kMaxEepromPage, timing.pageSize);
  for (const sim::BusTransaction& transaction : FewestTransactions(bench.procedure, contents, page))
    host.CarryPerfectly(bench.interface, transaction);
  return {host.Microseconds(), host.Requests()};
}

}  // namespace tessora::bench
