# Processor-specific kernels live in files named *_sse2.cpp, *_sse41.cpp,
# *_avx2.cpp, *_avx512.cpp under an x86/ folder. Only those files get the
# matching target flags, so the rest of the code never assumes more than the
# baseline ISA.
function(avsdec_kernel_flags)
    foreach(file IN LISTS ARGN)
        if(NOT CMAKE_SYSTEM_PROCESSOR MATCHES "x86_64|AMD64|i.86")
            continue()
        endif()
        if(file MATCHES "_avx512\\.cpp$")
            set_source_files_properties(${file} PROPERTIES COMPILE_OPTIONS
                "-mavx2;-mfma;-mbmi;-mbmi2;-mlzcnt;-mavx512f;-mavx512dq;-mavx512bw;-mavx512vl")
        elseif(file MATCHES "_avx2\\.cpp$")
            set_source_files_properties(${file} PROPERTIES COMPILE_OPTIONS "-mavx2;-mfma;-mbmi;-mbmi2;-mlzcnt")
        elseif(file MATCHES "_sse41\\.cpp$")
            set_source_files_properties(${file} PROPERTIES COMPILE_OPTIONS "-msse4.1")
        elseif(file MATCHES "_sse2\\.cpp$")
            set_source_files_properties(${file} PROPERTIES COMPILE_OPTIONS "-msse2")
        endif()
    endforeach()
endfunction()
