// The engine's build identity, also keeps the library non-empty while it grows.
extern "C" const char QvEngineVersion[] = "Quorvane request engine";
