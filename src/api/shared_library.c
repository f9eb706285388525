/* The shared library has no code of its own: everything comes from the
 * static core library, pulled in through open_AVS_Video_stream. */
typedef int avsdec_shared_library_translation_unit;
