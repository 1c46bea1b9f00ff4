// A loadable module without any plugin header.
extern "C" int NotAPlugin() {
  return 42;
}
