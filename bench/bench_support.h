// What the workbook benchmarks share: the customer list they generate and the CPU clock.
#ifndef PARLEY_BENCH_BENCH_SUPPORT_H_
#define PARLEY_BENCH_BENCH_SUPPORT_H_

#include <cstdint>

#include "excel/workbook_writer.h"

namespace parley {

// A header row and `rows` data rows of five columns (a Korean name, the phone as a number, the
// phone as text with hyphens, an amount, a Korean note).
SheetData MakeCustomerSheet(int64_t rows);

// User and system CPU seconds of getrusage(who): RUSAGE_SELF (all threads) or RUSAGE_CHILDREN.
double CpuSeconds(int who);

}  // namespace parley

#endif  // PARLEY_BENCH_BENCH_SUPPORT_H_
