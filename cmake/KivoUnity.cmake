# Sources compiled on their own in a unity build (KIVO_UNITY_BUILD): their
# file-local names clash with those of another file of the same target, or
# a type of theirs that a header declares holds a member of a file-local type.
# testing/gui_main.cpp is the main of the test binaries: in its archive it
# must stay an object of its own, taken only by a binary without a main.
set(KIVO_UNITY_SKIP
  bench/answer_bench.cpp
  bench/datafile_bench.cpp
  bench/formula_library_bench.cpp
  bench/frame_bench.cpp
  bench/logger_bench.cpp
  bench/market_bench.cpp
  bench/orderbook_bench.cpp
  bench/profile_bench.cpp
  bench/push_bench.cpp
  bench/tradebridge_push_bench.cpp
  bench/wizard_bench.cpp
  charts/rendform_input.cpp
  charts/rendform_tick.cpp
  charts/techpaint.cpp
  charts/techseries.cpp
  charts/techwindows.cpp
  charts/tick.cpp
  core/emem.cpp
  core/xpbutton.cpp
  core/xpcheckbox.cpp
  formula/indexmanager.cpp
  market/answer.cpp
  market/dataagent.cpp
  market/datafile_bars.cpp
  market/dataio5.cpp
  market/nclient_frames.cpp
  market/netdlg.cpp
  market/realclient.cpp
  market/reqbuild.cpp
  market/serverlist.cpp
  market/startup_downloads.cpp
  market/utildata.cpp
  platform/registry.cpp
  platform/shell.cpp
  platform/stdctl_button.cpp
  plugin/session.cpp
  plugin/tradelog.cpp
  shell/alarmdlg.cpp
  shell/frame_messages.cpp
  shell/framepages.cpp
  shell/passwordchange.cpp
  shell/quoteoptiondlg.cpp
  shell/settings_store.cpp
  standins/simbroker/simbroker.cpp
  testing/gui_main.cpp
  testing/quote_double_startup.cpp
  tests/charts/linefile_test.cpp
  tests/charts/zonestatdlg_test.cpp
  tests/classlib/picture_test.cpp
  tests/core/ebufferpool_test.cpp
  tests/core/emap_test.cpp
  tests/core/xpbutton_test.cpp
  tests/core/xptabs_test.cpp
  tests/formula/indexpaint_test.cpp
  tests/formula/iparam_test.cpp
  tests/market/calendar_test.cpp
  tests/market/dataagent_test.cpp
  tests/market/datafile_test.cpp
  tests/market/frames_test.cpp
  tests/market/merger_test.cpp
  tests/market/quote_double_test.cpp
  tests/market/realclient_test.cpp
  tests/platform/imagecodec_test.cpp
  tests/shell/mframe_test.cpp
  tests/standins/simbroker_test.cpp
  tests/trading/accountreport_walk_test.cpp
  tests/trading/bankpage_test.cpp
  tests/trading/dispatcher_fixture.cpp
  tests/trading/manualorder_test.cpp
  tests/trading/orderdesk_fixture.cpp
  tests/trading/pendingorders_test.cpp
  tests/trading/tradedesk_fixture.cpp
  tests/trading/tradingwindow_test.cpp
  tests/views/reportcore_test.cpp
  trading/listarea.cpp
  trading/orderbook.cpp
  trading/positions.cpp
  trading/taskqueue.cpp
  trading/tradedesk.cpp
  trading/tradelayout.cpp
  views/blockdlg.cpp
)
if(KIVO_UNITY_BUILD)
  foreach(file ${KIVO_UNITY_SKIP})
    if(file MATCHES "^bench/" AND NOT KIVO_BENCH)
      continue()
    endif()
    get_filename_component(dir ${PROJECT_SOURCE_DIR}/${file} DIRECTORY)
    # A test source belongs to tests/, which makes the test binaries; any
    # other source to the folder it lies in.
    set(owner ${dir})
    if(file MATCHES "^tests/")
      set(owner ${PROJECT_SOURCE_DIR}/tests)
    endif()
    set_source_files_properties(${PROJECT_SOURCE_DIR}/${file} DIRECTORY ${owner}
                                PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
  endforeach()

  # The trading plug-in takes single objects from the core library; a batch
  # would bring along the objects beside them, and with them the class library
  # the plug-in must not link.
  set_target_properties(core PROPERTIES UNITY_BUILD OFF)
endif()

