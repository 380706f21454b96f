// SPDX-License-Identifier: MIT
#include "files/formats.hpp"

#include "data/error.hpp"
#include "data/fpu.hpp"
#include "data/messages.hpp"
#include "files/atomic_write.hpp"

namespace accelspec {

namespace {

[[noreturn]] void refuse(std::string_view message) { throw AppError(message); }

// One data line: two reals in the 23-character form, one blank between, CR LF.
void appendPair(std::string& out, long double a, long double b) {
  appendRealRaw(out, a);
  out += ' ';
  appendRealRaw(out, b);
  out += "\r\n";
}

constexpr std::size_t kLineBytes = 2 * kRealFieldWidth + 3;

// Reads a time, drops it, reads Acc[k]; the *.brl lines begin with a sample number.
template <bool WithSampleNumber>
void readSampleLine(TextReader& in, Store& store, std::int32_t k, long double* time) {
  if constexpr (WithSampleNumber) in.readInteger();
  const long double t = in.readReal();
  if (time) *time = t;
  store.Acc[k] = in.readReal();
  in.skipLine();
}

template <bool Imported>
void readAccelerogram(TextReader& in, Store& store) {
  fpu::clear();
  const std::int32_t nd = in.readInteger();
  // Refused before anything is stored: ND keeps the count of the accelerogram held.
  if (nd > kMaxSamples) refuse(msg::kTooManySamples);
  store.ND = nd;
  if constexpr (!Imported) in.readReal();  // the second field of line 1, always 1
  in.skipLine();
  long double t1 = 0, t2 = 0;
  readSampleLine<Imported>(in, store, 1, &t1);
  readSampleLine<Imported>(in, store, 2, &t2);
  store.DT = fpu::checked(t2 - t1);
  store.T = fpu::checked(static_cast<long double>(store.ND) * store.DT);
  for (std::int32_t k = 3; k <= store.ND; ++k) readSampleLine<Imported>(in, store, k, nullptr);
}

}  // namespace

void readSpv(TextReader& in, Store& store) {
  store.N = 0;
  while (!in.eof()) {
    // Element 999 holds the count of memory slot 1.
    if (store.N >= kMaxSpectrumPoints) refuse(msg::kTooManySpectrumPoints);
    ++store.N;
    store.SpF[store.N] = in.readReal();
    store.SpA[store.N] = in.readReal();
    in.skipLine();
  }
}

void readSpo(TextReader& in, Store& store) {
  store.NF = -1;
  while (!in.eof()) {
    if (store.NF >= kMaxResponseLastIndex) refuse(msg::kTooManyResponsePoints);
    ++store.NF;
    store.SpF[kResponseBase + store.NF] = in.readReal();
    store.SpA[kResponseBase + store.NF] = in.readReal();
    in.skipLine();
  }
}

void readAks(TextReader& in, Store& store) { readAccelerogram<false>(in, store); }
void readBrl(TextReader& in, Store& store) { readAccelerogram<true>(in, store); }

void readSpv(const std::string& path, Store& store) {
  readFile(path, inputLimit(kSpv), [&](TextReader& in) { readSpv(in, store); });
}

void readSpo(const std::string& path, Store& store) {
  readFile(path, inputLimit(kSpo), [&](TextReader& in) { readSpo(in, store); });
}

void readAks(const std::string& path, Store& store) {
  readFile(path, inputLimit(kAks), [&](TextReader& in) { readAks(in, store); });
}

void readBrl(const std::string& path, Store& store) {
  readFile(path, inputLimit(kBrl), [&](TextReader& in) { readBrl(in, store); });
}

std::string formatSpv(const Store& store) {
  if (store.N > kMaxSpectrumPoints) refuse(msg::kTooManySpectrumPoints);
  std::string out;
  if (store.N <= 0) return out;
  out.reserve(static_cast<std::size_t>(store.N) * kLineBytes);
  fpu::Scope scope;
  for (std::int32_t i = 1; i <= store.N; ++i) appendPair(out, store.SpF[i], store.SpA[i]);
  return out;
}

std::string formatSpo(const Store& store) {
  if (store.NF > kMaxResponseLastIndex) refuse(msg::kTooManyResponsePoints);
  std::string out;
  if (store.NF < 0) return out;
  out.reserve(static_cast<std::size_t>(store.NF + 1) * kLineBytes);
  fpu::Scope scope;
  for (std::int32_t j = 0; j <= store.NF; ++j)
    appendPair(out, store.SpF[kResponseBase + j], store.SpA[kResponseBase + j]);
  return out;
}

std::string formatAks(const Store& store) {
  if (store.ND > kMaxSamples) refuse(msg::kTooManySamples);
  std::string out;
  out.reserve(16 + static_cast<std::size_t>(store.ND > 0 ? store.ND : 0) * kLineBytes);
  appendInteger(out, store.ND);
  out += " 1\r\n";
  fpu::clear();
  fpu::Scope scope;
  for (std::int32_t k = 1; k <= store.ND; ++k) {
    const long double time = fpu::checked(static_cast<long double>(k - 1) * store.DT);
    appendPair(out, time, store.Acc[k]);
  }
  return out;
}

void writeSpv(const std::string& path, const Store& store) { replaceFile(path, formatSpv(store)); }
void writeSpo(const std::string& path, const Store& store) { replaceFile(path, formatSpo(store)); }
void writeAks(const std::string& path, const Store& store) { replaceFile(path, formatAks(store)); }

}  // namespace accelspec
