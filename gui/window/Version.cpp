// The framework's build identity, also keeps the library non-empty while it grows.
extern "C" const char QvGuiVersion[] = "Quorvane GUI framework";
