void vexo_engine_placeholder() {}
