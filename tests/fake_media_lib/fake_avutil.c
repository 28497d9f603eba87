/* A stand-in for libavutil that loads but is not the real thing: it reports
   the major version FAKE_MAJOR and exports no other entry point. */
unsigned avutil_version(void) {
  return (unsigned)FAKE_MAJOR << 16;
}
