# Stops the build when the kept P/Invoke layer differs from the one api.json gives.
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${KEPT} ${WRITTEN} RESULT_VARIABLE differ)
if(differ)
    message(FATAL_ERROR "The C API changed: ${KEPT} no longer matches the headers. Bring the "
            "bindings along (bindings/dotnet/Kvtlnk, python/kvtlnk), then run "
            "`cmake --build build --target kvtlnk_dotnet_update_interop` to keep the new layer "
            "(compare it first: diff ${KEPT} ${WRITTEN}).")
endif()
