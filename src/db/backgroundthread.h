#pragma once

// Work on a thread of its own that the window's thread should go before whenever both want
// the processor (reading the rest of a list, sorting it): called on that thread, it makes
// the thread yield to the program's others, so that the window answers at once throughout.
void yieldToTheWindow();
