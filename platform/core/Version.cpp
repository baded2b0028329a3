// The library's build identity, also keeps the library non-empty while it grows.
extern "C" const char QvPlatformVersion[] = "Quorvane platform library";
