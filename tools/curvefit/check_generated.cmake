# Runs the curve fitting tool into the build tree and fails when its output differs from the
# committed tables or report in what the curves give. Arguments: PYTHON, SOURCE_DIR, WORK_DIR.
set(tool ${SOURCE_DIR}/tools/curvefit/curvefit.py)
set(tables ${WORK_DIR}/sensor_curve_tables.cpp)
set(report ${WORK_DIR}/sensor-accuracy.md)
file(MAKE_DIRECTORY ${WORK_DIR})
execute_process(COMMAND ${PYTHON} ${tool} --tables ${tables} --report ${report}
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "curvefit.py failed (${status})")
endif()
# Compared by value: the last digits of a fit differ between processors.
foreach(pair "tables|${tables}|src/readings/sensor_curve_tables.cpp"
             "report|${report}|docs/sensor-accuracy.md")
    string(REPLACE "|" ";" pair "${pair}")
    list(GET pair 0 kind)
    list(GET pair 1 produced)
    list(GET pair 2 committed)
    execute_process(COMMAND ${PYTHON} ${SOURCE_DIR}/tools/curvefit/compare_generated.py ${kind}
                            ${produced} ${SOURCE_DIR}/${committed}
                    RESULT_VARIABLE differs)
    if(NOT differs EQUAL 0)
        message(FATAL_ERROR "${committed} is not what the tool produces (${produced}); "
                            "run the regenerate_sensor_curves target and commit the result")
    endif()
endforeach()
