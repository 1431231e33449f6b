#pragma once

namespace rq::platform {

// Lets pending window events run, but only once about 16 ms have passed since they last ran. The clock
// is read on every call (a few tens of nanoseconds), so loops call it once per pass of coarse work
// (a table, a row, an item, a few thousand units of text) and the window never waits on a call count.
// Returns true when events did run.
bool yieldToEvents();

// While the window thread waits for a connection to open: repaints and window-system events (closing a
// window) run, clicks and keys are dropped, so that nothing the user does starts a second command meanwhile.
void letWindowRepaint();

// Tests make every call run events (budget 0) to drive commands inside a yield.
void setYieldBudget(int milliseconds);

} // namespace rq::platform
