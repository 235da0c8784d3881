#pragma once

// What assistive tools see of the library's grid and list: the view as a
// list whose children are the torrents' items (named "title, status, %",
// selectable, selected as in the window, focused where the keyboard is),
// each with the painted parts of its card or row as children: buttons that
// can be pressed, texts, the progress bar with its value. Every query reads
// the view afresh, so the tree follows the torrents as they change.

namespace tevro::LibraryItemAccessible {

// Makes the library's item views answer with these interfaces; idempotent.
void install();

} // namespace tevro::LibraryItemAccessible
