// The most multiply-adds per second one core does without fused
// multiply-adds (a product, then a sum, each rounded, as every path of the
// engine does them): twelve independent chains acc += x * y in vector
// registers, on each instruction set the processor has.  The measured peak
// that the confined model's rate (confined_eval_bench) is set against.
//
// usage: peak_bench [SECONDS]   (per instruction set; default 1)
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

using V2 = double __attribute__((vector_size(16)));
using V4 = double __attribute__((vector_size(32)));
using V8 = double __attribute__((vector_size(64)));

// `rounds` rounds of 12 multiply-add chains of V's lanes each; the result
// keeps the compiler from dropping them.
template <typename V, int Bytes>
[[gnu::always_inline]] inline double chains(long rounds, double seed) {
  constexpr int kChains = 12;
  V acc[kChains];
  V x[kChains];
  for (int c = 0; c < kChains; ++c) {
    acc[c] = V{} + seed * c;
    x[c] = V{} + 1.0 / (c + 3);
  }
  const V y = V{} + 0.999999;
  for (long r = 0; r < rounds; ++r) {
#pragma GCC unroll 12
    for (int c = 0; c < kChains; ++c) acc[c] += x[c] * y;
  }
  double sum = 0;
  for (int c = 0; c < kChains; ++c) {
    for (int b = 0; b < Bytes / 8; ++b) sum += acc[c][b];
  }
  return sum;
}

[[gnu::noinline]] double sse2(long rounds, double seed) {
  return chains<V2, 16>(rounds, seed);
}
[[gnu::noinline, gnu::target("avx2")]] double avx2(long rounds, double seed) {
  return chains<V4, 32>(rounds, seed);
}
[[gnu::noinline, gnu::target("avx512f")]] double avx512(long rounds, double seed) {
  return chains<V8, 64>(rounds, seed);
}

void measure(const char* name, double (*kernel)(long, double), int lanes, double seconds) {
  long rounds = 1 << 20;
  double best = 0;
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  double sink = 0;
  while (std::chrono::steady_clock::now() < end) {
    const auto start = std::chrono::steady_clock::now();
    sink += kernel(rounds, 1e-3);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    const double rate = 12.0 * lanes * static_cast<double>(rounds) / took.count();
    if (rate > best) best = rate;
    if (took.count() < 0.05) rounds *= 2;
  }
  std::printf("%-7s %2d lanes  %7.2f G multiply-adds/s   (%g)\n", name, lanes, best * 1e-9,
              sink * 0);
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 1.0;
  __builtin_cpu_init();
  measure("sse2", sse2, 2, seconds);
  if (__builtin_cpu_supports("avx2")) measure("avx2", avx2, 4, seconds);
  if (__builtin_cpu_supports("avx512f")) measure("avx512", avx512, 8, seconds);
  return 0;
}
