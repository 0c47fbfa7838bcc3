// A 4-bit counter with synchronous reset.
module counter(input clk, input rst, output reg [3:0] count);
  always @(posedge clk) begin
    if (rst)
      count <= 4'd0;
    else
      count <= count + 1;
  end
  initial $display("counter ready");
endmodule
