#pragma once

#include <functional>

class QEvent;
class QObject;

namespace rq::platform {

// Lets pending window events run, but only once about 16 ms have passed since they last ran. The clock
// is read on every call (a few tens of nanoseconds), so loops call it once per pass of coarse work
// (a table, a row, an item, a few thousand units of text) and the window never waits on a call count.
// Returns true when events did run.
bool yieldToEvents();

// While the window thread waits for a connection to open: repaints and window-system events (closing a
// window) run, clicks and keys are dropped, so that nothing the user does starts a second command meanwhile.
void letWindowRepaint();
// The same, but each click or key is first offered to `takes` with the object it is for: true lets it through.
// The waiting window keeps its way of giving up open so ("Cancel", Esc). A window hands each click and key on
// to one of its widgets, where it is offered again.
void letWindowRepaint(const std::function<bool(QObject* target, QEvent* event)>& takes);

// Tests make every call run events (budget 0) to drive commands inside a yield.
void setYieldBudget(int milliseconds);

} // namespace rq::platform
