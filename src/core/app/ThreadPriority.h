#pragma once

namespace pvsm {

// Lowers the calling thread's share of the processor by `niceness` steps
// (up to the lowest, 19). On Linux the nice value belongs to a thread, and
// the threads it starts afterwards inherit it. Failing only costs the rest
// of the program some speed, so failure is not reported.
void LowerThreadPriority(int niceness);

} // namespace pvsm
