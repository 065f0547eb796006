# Warnings for the project's own targets (not for generated or third-party code).
function(mw_warnings target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic -Wnon-virtual-dtor -Wsuggest-override
        -Wshadow -Wconversion -Wno-sign-conversion)
endfunction()
