# One warning set for every target of the project: the libraries, the executable, tests and benchmarks.
# ROWQUARRY_WERROR turns them into errors (the test script's builds use it).
option(ROWQUARRY_WERROR "Treat warnings as errors" OFF)

function(rowquarry_warnings target)
    if(MSVC)
        target_compile_options(${target} PRIVATE /W4 /permissive-)
        if(ROWQUARRY_WERROR)
            target_compile_options(${target} PRIVATE /WX)
        endif()
    else()
        target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wold-style-cast -Wnon-virtual-dtor)
        if(ROWQUARRY_WERROR)
            target_compile_options(${target} PRIVATE -Werror)
        endif()
    endif()
endfunction()
