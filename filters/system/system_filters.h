#pragma once
// The system's filters that stand on the library's own filter classes: the null and
// default audio renderers, the MP3 decoder and the file source. The layer that builds
// graphs registers them (with the graph, the clock and the framework's classes) before
// it makes one.
void RegisterSystemFilters();
