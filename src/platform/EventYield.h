#pragma once

namespace rq::platform {

// Lets pending window events run, but only once about 16 ms have passed since they last ran: the clock
// is read once every `checkEvery` calls, so a call costs a counter increment. Long loops call it once
// per pass. Returns true when events did run.
bool yieldToEvents();

// Tests make every call run events (budget 0, check every call) to drive commands inside a yield.
void setYieldPolicy(int budgetMilliseconds, int checkEvery);

} // namespace rq::platform
